#pragma once

#include "settings.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

/// How the last reading ended. Only a complete reading may be cleared from the terminal.
enum class ReadingEnd {
    Complete,        ///< every call ended normally and nothing was skipped
    Interrupted,     ///< a communication error or the terminal left the cradle: the text is partial
    TemplateMissing, ///< headers were read but no entries: the body template is empty
};

/// The program-wide state of a running Kolbrin: the settings in memory, the terminal's identity
/// and the flags of the reading path. Owned by the main window, handed to the logic classes.
struct AppState
{
    Settings settings;
    /// The terminal identity as the library leaves it: 8 Windows-1252 bytes, 8 spaces at start.
    QByteArray TerminalId = QByteArray(8, ' ');
    /// The terminal identity as text, without its padding spaces.
    [[nodiscard]] QString terminalName() const;
    /// The library holds the port open for the main window.
    bool PortOpen = false;
    /// The reading session's port is meant to be open but is not: its device has gone (the
    /// cradle was unplugged) or could not be opened. The polling tick opens it again quietly.
    bool PortLost = false;
    /// A modem call is up; the cradle protocol runs over it.
    bool ModemConnected = false;
    /// Everything read from the modem since the last connection.
    QString ModemText;
    /// The last reading brought text.
    bool DataReceived = false;
    /// How the last reading ended, and how many documents (headers) or entry texts it brought.
    ReadingEnd LastReading = ReadingEnd::Complete;
    int DocumentsRead = 0;
    /// The user stopped the last reading (Stop, Esc or Exit): it is interrupted, and they know.
    bool ReadingStopped = false;
    /// When the last reading began (UTC).
    QDateTime ReadingStarted;
    /// The last reading is in the journal: without that it is not safe to clear the terminal.
    bool ReadingJournaled = false;
    /// The terminal was cleared after the last reading.
    bool ReadingCleared = false;
    /// The terminal now in the cradle has been handled.
    bool TerminalOnCradle = false;
};
