#include "journalrows.h"

#include <QSqlQuery>

namespace JournalRows {

QString readingColumns()
{
    return QStringLiteral("terminal, port, started, finished, documents, records, bytes, sha256, "
                          "text, mode, target, result, cleared, message");
}

QString timeText(const QDateTime& time)
{
    return time.isValid() ? time.toUTC().toString(Qt::ISODateWithMs) : QStringLiteral("");
}

QDateTime timeFrom(const QVariant& value)
{
    const QString text = value.toString();
    return text.isEmpty() ? QDateTime() : QDateTime::fromString(text, Qt::ISODateWithMs).toUTC();
}

QVariant textValue(const QString& text)
{
    return text.isNull() ? QStringLiteral("") : text;
}

JournalReading readingFrom(const QSqlQuery& query)
{
    JournalReading r;
    r.id = query.value(0).toLongLong();
    r.terminal = query.value(1).toString();
    r.port = query.value(2).toInt();
    r.started = timeFrom(query.value(3));
    r.finished = timeFrom(query.value(4));
    r.documents = query.value(5).toInt();
    r.records = query.value(6).toInt();
    r.bytes = query.value(7).toLongLong();
    r.sha256 = query.value(8).toString();
    r.text = query.value(9).toString();
    r.mode = query.value(10).toString();
    r.target = query.value(11).toString();
    r.result = query.value(12).toString();
    r.cleared = query.value(13).toInt() != 0;
    r.message = query.value(14).toString();
    return r;
}

JournalEvent eventFrom(const QSqlQuery& query)
{
    JournalEvent e;
    e.id = query.value(0).toLongLong();
    e.at = timeFrom(query.value(1));
    e.kind = query.value(2).toString();
    e.terminal = query.value(3).toString();
    e.detail = query.value(4).toString();
    e.result = query.value(5).toString();
    return e;
}

void bindReading(QSqlQuery& query, const JournalReading& r)
{
    query.addBindValue(textValue(r.terminal));
    query.addBindValue(r.port);
    query.addBindValue(timeText(r.started));
    query.addBindValue(timeText(r.finished));
    query.addBindValue(r.documents);
    query.addBindValue(r.records);
    query.addBindValue(qlonglong(r.bytes));
    query.addBindValue(textValue(r.sha256));
    query.addBindValue(textValue(r.text));
    query.addBindValue(textValue(r.mode));
    query.addBindValue(textValue(r.target));
    query.addBindValue(textValue(r.result));
    query.addBindValue(r.cleared ? 1 : 0);
    query.addBindValue(textValue(r.message));
}

void bindEvent(QSqlQuery& query, const JournalEvent& e)
{
    query.addBindValue(timeText(e.at));
    query.addBindValue(textValue(e.kind));
    query.addBindValue(textValue(e.terminal));
    query.addBindValue(textValue(e.detail));
    query.addBindValue(textValue(e.result));
}

} // namespace JournalRows
