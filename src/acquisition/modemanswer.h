#pragma once

#include <QByteArray>

class CommLibrary;
class EventPump;
class MainWindowControls;
class ReadingSession;
class UiLanguage;
class UserDialogs;
struct AppState;

/// Answering modem calls: arming the modem, hanging up after a served call, and switching
/// auto-answer off again when the program closes.
class ModemAnswer
{
public:
    /// Sent to arm the modem: hang up when DTR drops, answer on the first ring.
    static const QByteArray kArmCommand;
    /// Sent when the program closes: stop answering.
    static const QByteArray kDisarmCommand;
    /// The pause between closing a call and touching the modem again.
    static constexpr int kSettleMs = 5000;

    ModemAnswer(CommLibrary& library, AppState& state, MainWindowControls& window, EventPump& pump,
                UserDialogs& dialogs, const UiLanguage& language, ReadingSession& session);

    /// Opens the port for raw bytes, raises DTR, arms the modem and starts listening. A port
    /// that cannot be opened is reported once and then tried again quietly on every tick.
    void waitForCall();
    /// While waiting for a call: when the modem's device has gone (USB adapter pulled), closes
    /// the port and says so in the status bar; true when it did.
    bool closeIfPortLost();
    /// The modem's port back: opened and armed again without a word; true when it is.
    bool rearmLostPort();
    /// After a served call: raise DTR, close the session, wait, arm again.
    void hangUpAndRearm();
    /// At window close: auto-answer off, port released (with or without a call up).
    void restoreAtClose();
    /// Another port chosen while answering: the modem on `previousPort` stops answering (a call
    /// up there is hung up) and is let go, and the one on the port now set is armed.
    void switchPort(int previousPort);

private:
    /// Opens the port for raw bytes and arms the modem; false when the port does not open.
    bool openAndArm();
    /// Auto-answer off on `port` and the port closed; a call up there ends first.
    void release(int port);

    CommLibrary& m_library;
    AppState& m_state;
    MainWindowControls& m_window;
    EventPump& m_pump;
    UserDialogs& m_dialogs;
    const UiLanguage& m_language;
    ReadingSession& m_session;
};
