#include "readinghistory.h"

#include "common/documentview.h"
#include "i18n/uilanguage.h"
#include "output/readingdelivery.h"

#include <QCoreApplication>

namespace {

QString historyText(const char* text)
{
    return QCoreApplication::translate("ReadingHistory", text);
}

// The columns of the list, translated when the window is captioned.
constexpr const char* kHeaders[] = {
    QT_TRANSLATE_NOOP("ReadingHistory", "Time"),
    QT_TRANSLATE_NOOP("ReadingHistory", "Terminal"),
    QT_TRANSLATE_NOOP("ReadingHistory", "Documents"),
    QT_TRANSLATE_NOOP("ReadingHistory", "Records"),
    QT_TRANSLATE_NOOP("ReadingHistory", "Target"),
    QT_TRANSLATE_NOOP("ReadingHistory", "Result"),
    QT_TRANSLATE_NOOP("ReadingHistory", "Cleared"),
};

// The journal keeps a reading's result as a fixed English word; the window shows it in the
// user's language (an unknown word, from a newer program, as it is).
constexpr const char* kResults[] = {
    QT_TRANSLATE_NOOP("ReadingHistory", "pending"),
    QT_TRANSLATE_NOOP("ReadingHistory", "delivered"),
    QT_TRANSLATE_NOOP("ReadingHistory", "delivery-failed"),
    QT_TRANSLATE_NOOP("ReadingHistory", "incomplete"),
    QT_TRANSLATE_NOOP("ReadingHistory", "skipped-duplicate"),
    QT_TRANSLATE_NOOP("ReadingHistory", "read-only"),
};

QString resultText(const QString& result)
{
    for (const char* known : kResults) {
        if (result == QLatin1String(known)) {
            return historyText(known);
        }
    }
    return result;
}

} // namespace

ReadingHistory::ReadingHistory(Journal& journal, ReadingDelivery& delivery, DocumentView& view)
    : m_journal(journal)
    , m_delivery(delivery)
    , m_view(view)
{
}

QString ReadingHistory::menuCaption(int /*languageIndex*/)
{
    // In the language whose translators UiLanguage installed last.
    return QCoreApplication::translate("ReadingHistory", "Reading history");
}

ReadingHistoryCaptions ReadingHistory::captions() const
{
    ReadingHistoryCaptions captions;
    captions.title = QCoreApplication::translate("ReadingHistory", "Reading history");
    for (const char* header : kHeaders) {
        captions.headers.append(historyText(header));
    }
    captions.deliverAgain = QCoreApplication::translate("ReadingHistory", "Deliver again");
    captions.refresh = QCoreApplication::translate("ReadingHistory", "Refresh");
    captions.close = QCoreApplication::translate("ReadingHistory", "Close");
    return captions;
}

ReadingHistoryListing ReadingHistory::refresh()
{
    ReadingHistoryListing listing;
    m_readings = m_journal.readings();
    // An empty list is also what a journal gives that cannot be read; only its problem tells.
    if (m_readings.isEmpty() && !m_journal.problem().isEmpty()) {
        listing.problem =
            QCoreApplication::translate("ReadingHistory", "The journal could not be read: %1")
                .arg(m_journal.problem());
        return listing;
    }
    for (const JournalReading& reading : m_readings) {
        ReadingHistoryRow row;
        row.id = reading.id;
        row.cells = {
            reading.finished.isValid()
                ? reading.finished.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                : QString(),
            reading.terminal,
            QString::number(reading.documents),
            QString::number(reading.records),
            reading.target,
            resultText(reading.result),
            reading.cleared ? QCoreApplication::translate("ReadingHistory", "Yes")
                            : QCoreApplication::translate("ReadingHistory", "No"),
        };
        listing.rows.append(row);
    }
    return listing;
}

const JournalReading* ReadingHistory::readingAt(int row) const
{
    return row >= 0 && row < m_readings.size() ? &m_readings.at(row) : nullptr;
}

bool ReadingHistory::choose(int row)
{
    const JournalReading* reading = readingAt(row);
    if (reading == nullptr) {
        return false;
    }
    m_view.setText(reading->text);
    return true;
}

ReadingHistoryListing ReadingHistory::deliverAgain(int row)
{
    if (const JournalReading* reading = readingAt(row)) {
        // A copy: a message shown during the delivery lets events run, and a refresh then would
        // replace the listing the reading belongs to.
        static_cast<void>(m_delivery.deliverAgain(JournalReading(*reading)));
    }
    return refresh();
}

bool ReadingHistory::typesKeys() const
{
    return m_delivery.deliveryMode() == QLatin1String("keyboard");
}
