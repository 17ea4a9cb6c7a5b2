#include "readingdelivery.h"

#include "common/appstate.h"
#include "common/documentview.h"
#include "common/mainwindowcontrols.h"
#include "common/userdialogs.h"
#include "filedelivery.h"
#include "keyboarddelivery.h"
#include "terminaleraser.h"

#include <QCoreApplication>
#include <QCryptographicHash>

namespace {

QString interruptedMessage(int documents)
{
    return QCoreApplication::translate(
               "ReadingDelivery",
               "The reading stopped after %1 document(s), so nothing was delivered "
               "and the terminal was not cleared: it keeps all its data. The part read "
               "is shown in the window. Place the terminal in the cradle again to read "
               "it in full.")
        .arg(documents);
}

QString templateMissingText()
{
    return QCoreApplication::translate(
        "ReadingDelivery", "The body template (AsciiDataFormat) is empty, so only the headers were "
                           "read and none of the "
                           "entries. The terminal was not cleared: it keeps all its data. Set the "
                           "body template in the "
                           "configuration, or use \"Auto detect\" to take it from the terminal.");
}

} // namespace

ReadingDelivery::ReadingDelivery(Journal& journal, AppState& state, DocumentView& view,
                                 UserDialogs& dialogs, MainWindowControls& window,
                                 FileDelivery& files, KeyboardDelivery& keys,
                                 TerminalEraser& clearing)
    : m_journal(journal)
    , m_state(state)
    , m_view(view)
    , m_dialogs(dialogs)
    , m_files(files)
    , m_keys(keys)
    , m_window(window)
    , m_clearing(clearing)
{
}

JournalReading ReadingDelivery::describe() const
{
    JournalReading reading;
    reading.terminal = m_state.terminalName();
    reading.port = m_state.settings.ComPortNumber;
    reading.started =
        m_state.ReadingStarted.isValid() ? m_state.ReadingStarted : QDateTime::currentDateTimeUtc();
    reading.finished = QDateTime::currentDateTimeUtc();
    reading.documents = m_state.DocumentsRead;
    reading.text = m_view.text();
    reading.records = static_cast<int>(reading.text.count(QLatin1Char('\n')));
    if (!reading.text.isEmpty() && !reading.text.endsWith(QLatin1Char('\n'))) {
        ++reading.records;
    }
    const QByteArray utf8 = reading.text.toUtf8();
    reading.bytes = utf8.size();
    reading.sha256 =
        QString::fromLatin1(QCryptographicHash::hash(utf8, QCryptographicHash::Sha256).toHex());
    reading.mode = deliveryMode();
    return reading;
}

QString ReadingDelivery::deliveryMode() const
{
    const Settings& settings = m_state.settings;
    if (settings.InsertKeys) {
        return QStringLiteral("keyboard");
    }
    if (settings.IncrNumber) {
        return QStringLiteral("numbered");
    }
    if (settings.AppendFile) {
        return QStringLiteral("append");
    }
    return QStringLiteral("overwrite");
}

void ReadingDelivery::deliver()
{
    JournalReading reading = describe();
    if (m_state.LastReading == ReadingEnd::Interrupted) {
        // A partial reading is not delivered: in overwrite mode it would replace a good file,
        // in append mode the next reading would repeat its first part.
        reading.result = QString::fromUtf16(JournalResult::Incomplete);
        reading.message = interruptedMessage(m_state.DocumentsRead);
        add(reading);
        // Who stopped the reading needs no message about it; the program may be closing.
        if (!m_state.ReadingStopped) {
            m_dialogs.showWarning(reading.message);
        }
        return;
    }
    if (skippedAsDuplicate(reading)) {
        return;
    }
    reading.result = QString::fromUtf16(JournalResult::Pending);
    m_state.ReadingJournaled = add(reading);

    deliverInto(reading);
    if (m_state.LastReading == ReadingEnd::TemplateMissing) {
        reading.message = templateMissingText();
        m_dialogs.showWarning(reading.message);
    }
    if (m_state.ReadingJournaled) {
        update(reading);
    }
}

bool ReadingDelivery::deliverAgain(const JournalReading& earlier)
{
    // The clearing that delivery uses refuses a reading that is not journaled as the last one
    // read; this one was read from another terminal, or from this one long ago.
    m_state.ReadingJournaled = false;
    m_state.ReadingCleared = false;
    m_view.setText(earlier.text);

    JournalReading reading = describe();
    reading.terminal = earlier.terminal;
    reading.port = earlier.port;
    reading.documents = earlier.documents;
    reading.started = reading.finished;
    reading.result = QString::fromUtf16(JournalResult::Pending);
    const bool journaled = add(reading);

    const bool delivered = deliverInto(reading);
    if (journaled) {
        update(reading);
    }
    return delivered;
}

bool ReadingDelivery::deliverInto(JournalReading& reading)
{
    const bool keyboard = m_state.settings.InsertKeys;
    const bool delivered = keyboard ? m_keys.deliver() : m_files.deliver();
    reading.finished = QDateTime::currentDateTimeUtc();
    reading.result =
        QString::fromUtf16(delivered ? JournalResult::Delivered : JournalResult::DeliveryFailed);
    reading.target = keyboard || m_files.written().isEmpty() ? QString() : m_files.written().last();
    reading.cleared = m_state.ReadingCleared;
    reading.message = keyboard ? QString() : m_files.problem();
    return delivered;
}

bool ReadingDelivery::skippedAsDuplicate(JournalReading& reading)
{
    if (!m_state.settings.SkipDuplicateReadings || m_state.LastReading != ReadingEnd::Complete) {
        return false;
    }
    const std::optional<JournalReading> last = m_journal.lastDelivered(reading.terminal);
    if (!last || last->sha256 != reading.sha256) {
        return false;
    }
    reading.result = QString::fromUtf16(JournalResult::SkippedDuplicate);
    reading.message =
        QCoreApplication::translate("ReadingDelivery",
                                    "Reading %1 repeats reading %2, delivered %3: not delivered "
                                    "again")
            .arg(reading.terminal.isEmpty() ? QStringLiteral("-") : reading.terminal)
            .arg(last->id)
            .arg(last->finished.toLocalTime().toString(Qt::ISODate));
    m_window.setStatusText(1, reading.message);
    m_state.ReadingJournaled = add(reading);
    if (m_state.settings.AutoClear != 0) {
        static_cast<void>(m_clearing.clearAll()); // it reports its own failure
    }
    reading.cleared = m_state.ReadingCleared;
    if (m_state.ReadingJournaled) {
        update(reading);
    }
    return true;
}

void ReadingDelivery::recordShownOnly()
{
    if (!m_state.DataReceived) {
        return;
    }
    JournalReading reading = describe();
    reading.mode = QStringLiteral("manual");
    reading.result = QString::fromUtf16(m_state.LastReading == ReadingEnd::Interrupted
                                            ? JournalResult::Incomplete
                                            : JournalResult::ReadOnly);
    add(reading);
}

bool ReadingDelivery::add(JournalReading& reading)
{
    if (!m_journal.addReading(reading)) {
        journalFailed();
        return false;
    }
    m_toldJournalFailed = false;
    return true;
}

void ReadingDelivery::update(const JournalReading& reading)
{
    if (!m_journal.updateReading(reading)) {
        journalFailed();
    }
}

void ReadingDelivery::journalFailed()
{
    if (m_toldJournalFailed) {
        return;
    }
    m_toldJournalFailed = true;
    m_dialogs.showError(
        QCoreApplication::translate(
            "ReadingDelivery",
            "The reading journal cannot be written: %1\n\nReadings go on and are "
            "delivered, but no terminal is cleared until the journal works again, so "
            "that no data exists only in the window.")
            .arg(m_journal.problem()));
}
