#include "readingnotification.h"

#include "common/appstate.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>

namespace {

QString terminalName(const AppState& state, const std::optional<JournalReading>& journaled)
{
    QString name = journaled ? journaled->terminal : state.terminalName();
    return name.isEmpty() ? QCoreApplication::translate("ReadingNotification", "Terminal") : name;
}

} // namespace

ReadingNotice readingNotice(const AppState& state, const std::optional<JournalReading>& journaled)
{
    const QString terminal = terminalName(state, journaled);
    const QLocale locale;
    if (!state.DataReceived) {
        if (state.LastReading == ReadingEnd::Interrupted) {
            return {terminal,
                    QCoreApplication::translate(
                        "ReadingNotification",
                        "%1: the reading failed before any data arrived; the terminal keeps its "
                        "data.")
                        .arg(terminal),
                    true};
        }
        return {terminal,
                QCoreApplication::translate("ReadingNotification",
                                            "%1: the terminal holds nothing to read.")
                    .arg(terminal),
                false};
    }
    if (state.LastReading == ReadingEnd::Interrupted) {
        // Cut short (by the line or by Stop): never delivered, whatever the journal holds.
        return {terminal,
                QCoreApplication::translate(
                    "ReadingNotification",
                    "%1: the reading stopped after %2 documents; it was not delivered and the "
                    "terminal keeps its data.")
                    .arg(terminal, locale.toString(state.DocumentsRead)),
                true};
    }
    if (!state.ReadingJournaled || !journaled) {
        return {terminal,
                QCoreApplication::translate(
                    "ReadingNotification",
                    "%1: the reading could not be written to the journal, so it was not "
                    "delivered and the terminal keeps its data.")
                    .arg(terminal),
                true};
    }
    const JournalReading& reading = *journaled;
    const QString documents = locale.toString(reading.documents);
    const QString records = locale.toString(reading.records);
    const QString result = reading.result;
    if (result == QStringView(JournalResult::Delivered)) {
        if (reading.target.isEmpty()) {
            return {terminal,
                    QCoreApplication::translate(
                        "ReadingNotification", "%1: %2 documents, %3 records → typed as keystrokes")
                        .arg(terminal, documents, records),
                    false};
        }
        return {
            terminal,
            QCoreApplication::translate("ReadingNotification", "%1: %2 documents, %3 records → %4")
                .arg(terminal, documents, records, QFileInfo(reading.target).fileName()),
            false};
    }
    if (result == QStringView(JournalResult::ReadOnly)) {
        return {terminal,
                QCoreApplication::translate("ReadingNotification",
                                            "%1: %2 documents, %3 records → the window")
                    .arg(terminal, documents, records),
                false};
    }
    if (result == QStringView(JournalResult::SkippedDuplicate)) {
        return {terminal,
                QCoreApplication::translate(
                    "ReadingNotification",
                    "%1: the reading equals the last one delivered from this terminal, so it was "
                    "not delivered again.")
                    .arg(terminal),
                false};
    }
    // Delivery failed (or never finished): the user was told why in a message box as well.
    const QString why =
        reading.message.isEmpty()
            ? QCoreApplication::translate("ReadingNotification", "no reason was given")
            : reading.message;
    return {terminal,
            QCoreApplication::translate("ReadingNotification",
                                        "%1: %2 documents, %3 records could not be delivered: %4")
                .arg(terminal, documents, records, why),
            true};
}

TrayState trayState(const AppState& state, bool reading)
{
    if (reading) {
        return TrayState::Reading;
    }
    if (!state.PortOpen) {
        return TrayState::NoPort;
    }
    return state.TerminalOnCradle ? TrayState::TerminalPresent : TrayState::Waiting;
}
