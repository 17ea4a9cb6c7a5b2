#pragma once

#include "journal/journal.h"

#include <QList>
#include <QString>
#include <QStringList>

class DocumentView;
class ReadingDelivery;

/// The texts of the reading-history window in the current language.
struct ReadingHistoryCaptions
{
    QString title;
    QStringList headers; ///< time, terminal, documents, records, target, result, cleared
    QString deliverAgain;
    QString refresh;
    QString close;
};

/// One line of the history: the reading's journal id and its cells, in the order of the headers.
struct ReadingHistoryRow
{
    qint64 id = 0;
    QStringList cells;

    friend bool operator==(const ReadingHistoryRow&, const ReadingHistoryRow&) = default;
};

/// What the window lists: the readings newest first, or why the journal could not be read.
struct ReadingHistoryListing
{
    QList<ReadingHistoryRow> rows;
    QString problem; ///< empty when the journal was read
};

/// The logic of the reading-history window: lists the journal's readings, shows one in the main
/// window's view (where "Save as" can write it anywhere), and delivers one again.
class ReadingHistory
{
public:
    ReadingHistory(Journal& journal, ReadingDelivery& delivery, DocumentView& view);

    /// The caption of the menu entry that opens the window, for a language index.
    [[nodiscard]] static QString menuCaption(int languageIndex);
    [[nodiscard]] ReadingHistoryCaptions captions() const;

    /// Reads the journal again.
    [[nodiscard]] ReadingHistoryListing refresh();
    /// Puts the text of the reading on that row of the last listing into the view. False when
    /// there is no such row.
    bool choose(int row);
    /// Delivers the reading on that row again (see ReadingDelivery::deliverAgain); the listing
    /// afterwards, with the new delivery on top. Nothing is delivered when there is no such row.
    [[nodiscard]] ReadingHistoryListing deliverAgain(int row);
    /// Delivery types keystrokes into the application that has the keyboard focus.
    [[nodiscard]] bool typesKeys() const;

private:
    [[nodiscard]] const JournalReading* readingAt(int row) const;

    Journal& m_journal;
    ReadingDelivery& m_delivery;
    DocumentView& m_view;
    QList<JournalReading> m_readings; ///< as last listed, newest first
};
