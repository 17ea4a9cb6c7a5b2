#pragma once

#include "settings.h"

#include <QByteArray>
#include <QString>

/// The program-wide state of a running Kolbrin: the settings in memory, the terminal's identity
/// and the flags of the reading path. Owned by the main window, handed to the logic classes.
struct AppState
{
    Settings settings;
    /// The terminal identity as the library leaves it: 8 Windows-1252 bytes, 8 spaces at start.
    QByteArray TerminalId = QByteArray(8, ' ');
    /// The library holds the port open for the main window.
    bool PortOpen = false;
    /// A modem call is up; the cradle protocol runs over it.
    bool ModemConnected = false;
    /// Everything read from the modem since the last connection.
    QString ModemText;
    /// The last reading brought text.
    bool DataReceived = false;
    /// The terminal now in the cradle has been handled.
    bool TerminalOnCradle = false;
};
