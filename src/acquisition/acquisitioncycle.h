#pragma once

#include <functional>

class CommLibrary;
class DocumentView;
class MainWindowControls;
class ModemAnswer;
class SettingsStore;
class UiLanguage;
class UserDialogs;
struct AppState;

/// The polling cycle: every tick either listens to the modem for a connection or asks whether
/// a terminal sits in the cradle, and on its arrival decides whether to read and deliver it.
class AcquisitionCycle
{
public:
    /// The steps of the reading path the cycle drives.
    struct Steps
    {
        std::function<void()> readTerminalData;
        /// What becomes of a reading that brought text: journal and delivery.
        std::function<void()> deliverReading;
        /// After a check found no terminal: true when the cradle's device has gone and the
        /// session has closed its port (ReadingSession::closeIfDeviceGone); empty: never.
        std::function<bool()> closeIfDeviceGone = {};
        /// A tick while the port is lost: opens it again once its device is back
        /// (ReadingSession::reopenLostPort); empty: nothing.
        std::function<bool()> reopenLostPort = {};
    };

    /// ModemText keeps at most this many characters (enough to find "CONNECT" across ticks).
    static constexpr int kModemTextLimit = 4096;

    AcquisitionCycle(CommLibrary& library, AppState& state, MainWindowControls& window,
                     DocumentView& view, UserDialogs& dialogs, const UiLanguage& language,
                     SettingsStore& store, ModemAnswer& modem, Steps steps);

    /// One tick of the polling timer. Ticks may nest (the question, the external program and
    /// the modem pause let events run); the arrival flag is set before anything slow. A tick
    /// while a library call is in flight does nothing.
    void tick();

private:
    void modemPath();
    void cradlePath();
    void fetchBodyTemplate();
    void nameFileAfterTerminal();

    CommLibrary& m_library;
    AppState& m_state;
    MainWindowControls& m_window;
    DocumentView& m_view;
    UserDialogs& m_dialogs;
    const UiLanguage& m_language;
    SettingsStore& m_store;
    ModemAnswer& m_modem;
    Steps m_steps;
};
