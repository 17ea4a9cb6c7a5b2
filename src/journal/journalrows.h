#pragma once

#include "journal.h"

#include <QDateTime>
#include <QString>
#include <QVariant>

class QSqlQuery;

/// How readings and events are laid out in the journal's tables, shared by the local file and
/// its copy on a server so that both keep the same columns and the same text for times.
namespace JournalRows {

/// The stored columns of a reading after its id, in the order bindReading() binds them.
QString readingColumns();

/// Times are kept as UTC text with milliseconds ("2024-05-01T08:30:00.250Z"), which sorts in
/// time order and reads the same in any tool; an unset time is kept as empty text.
QString timeText(const QDateTime& time);
QDateTime timeFrom(const QVariant& value);

/// Text columns are NOT NULL: a null QString is stored as empty text.
QVariant textValue(const QString& text);

/// A reading from a row selected as "id, " followed by readingColumns().
JournalReading readingFrom(const QSqlQuery& query);
/// An event from a row selected as "id, at, kind, terminal, detail, result".
JournalEvent eventFrom(const QSqlQuery& query);
/// Binds the stored fields of the reading, in the order of readingColumns().
void bindReading(QSqlQuery& query, const JournalReading& reading);
/// Binds the stored fields of the event after its id: at, kind, terminal, detail, result.
void bindEvent(QSqlQuery& query, const JournalEvent& event);

} // namespace JournalRows
