#pragma once

#include <QString>
#include <functional>

class CommLibrary;
class EventPump;
class MainWindowControls;
class UiLanguage;
class UserDialogs;
struct AppState;

/// The reading session: the time during which the library holds the port open in cradle mode
/// and the polling timer watches for a terminal. startReceiving and stopReceiving are the
/// single gate to the port in that mode.
class ReadingSession
{
public:
    ReadingSession(CommLibrary& library, AppState& state, MainWindowControls& window,
                   EventPump& pump, UserDialogs& dialogs, const UiLanguage& language);

    /// Opens the port on the current port number at 9600 and starts the timer; on failure shows
    /// the port error with the port number, says in status panel 2 that no port is open, and
    /// leaves the timer as it is (a running timer then tries the port again, quietly).
    void startReceiving();
    /// Stops the timer, lets a queued tick run, and closes the port, when it is open. A session
    /// waiting for its device to come back stops waiting.
    void stopReceiving();
    /// Moves the session from `previousPort` to the current port number: closes the one, when
    /// open, and opens the other as startReceiving does.
    void switchPort(int previousPort);
    /// Stops the polling timer, lets a tick already queued run, closes the terminal session on
    /// `port` (which need not be the one set now) and marks the port closed.
    void closeSession(int port);

    /// After a presence check found no terminal: when the device of the open port has gone
    /// (the library says so, or its device file has vanished), closes the port, says in status
    /// panel 2 that the cradle is disconnected and marks the port lost. True when it had gone.
    bool closeIfDeviceGone();
    /// While the port is lost: opens it again, without any message when it cannot be opened
    /// yet, and only on the device it had (a USB adapter's number may pass to another device
    /// while it is unplugged). True when the port is open again.
    bool reopenLostPort();

    /// Turns a port number into the device file the library opens for it (PortDevices), so
    /// that a device file that vanishes is noticed with a library that cannot tell; unset or
    /// empty: only the library is asked.
    void setDeviceLocator(std::function<QString(int port)> locator)
    {
        m_locator = std::move(locator);
    }

    /// "Port Open (" + port number with its leading space + closing (")", ") ON", ") OFF").
    [[nodiscard]] static QString portStateText(int port, const QString& closing);
    /// Status panel 2 when the cradle's device has gone from `port`.
    [[nodiscard]] static QString disconnectedText(int port);
    /// Status panel 2 when `port` could not be opened and no port is open.
    [[nodiscard]] static QString noPortText(int port);

private:
    [[nodiscard]] bool openQuietly(int port);
    [[nodiscard]] QString deviceOf(int port) const;

    CommLibrary& m_library;
    AppState& m_state;
    MainWindowControls& m_window;
    EventPump& m_pump;
    UserDialogs& m_dialogs;
    const UiLanguage& m_language;
    std::function<QString(int)> m_locator;
    /// The device file the open (or lost) port was opened on, when it could be looked at.
    QString m_device;
};
