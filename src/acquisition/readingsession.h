#pragma once

#include <QString>

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
    /// the port error with the port number and leaves the timer as it is.
    void startReceiving();
    /// Stops the timer, lets a queued tick run, and closes the port, when it is open.
    void stopReceiving();

    /// "Port Open (" + port number with its leading space + closing (")", ") ON", ") OFF").
    [[nodiscard]] static QString portStateText(int port, const QString& closing);

private:
    CommLibrary& m_library;
    AppState& m_state;
    MainWindowControls& m_window;
    EventPump& m_pump;
    UserDialogs& m_dialogs;
    const UiLanguage& m_language;
};
