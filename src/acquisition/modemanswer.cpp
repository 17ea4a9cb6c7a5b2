#include "modemanswer.h"

#include "common/appstate.h"
#include "common/eventpump.h"
#include "common/mainwindowcontrols.h"
#include "common/userdialogs.h"
#include "link/commlibrary.h"
#include "porterror.h"
#include "readingsession.h"

const QByteArray ModemAnswer::kArmCommand = QByteArrayLiteral("AT &D2 S0=1\r\n");
const QByteArray ModemAnswer::kDisarmCommand = QByteArrayLiteral("AT S0=0\r\n");

ModemAnswer::ModemAnswer(CommLibrary& library, AppState& state, MainWindowControls& window,
                         EventPump& pump, UserDialogs& dialogs, const UiLanguage& language,
                         ReadingSession& session)
    : m_library(library)
    , m_state(state)
    , m_window(window)
    , m_pump(pump)
    , m_dialogs(dialogs)
    , m_language(language)
    , m_session(session)
{
}

void ModemAnswer::waitForCall()
{
    const int port = m_state.settings.ComPortNumber;
    m_state.ModemConnected = false;
    if (!openAndArm()) {
        m_dialogs.showError(portErrorMessage(m_language, m_library, port));
        m_state.PortOpen = false;
        m_state.PortLost = true;
        m_window.setStatusText(2, ReadingSession::noPortText(port));
        // The ticks keep trying it quietly: a modem plugged in later is armed then.
        m_window.setTimerEnabled(true);
        return;
    }
    m_window.setTimerEnabled(true);
}

bool ModemAnswer::openAndArm()
{
    const int port = m_state.settings.ComPortNumber;
    // A library may report failure as -1 or as 0; neither gives an open port.
    if (m_library.IO_Open(port, m_state.settings.BaudRate9600) <= 0) {
        return false;
    }
    m_window.setStatusText(2, ReadingSession::portStateText(port, QStringLiteral(")")));
    m_library.IO_dtr_control_enable(port);
    m_library.IO_Write(port, kArmCommand);
    m_state.PortOpen = true;
    m_state.PortLost = false;
    return true;
}

bool ModemAnswer::closeIfPortLost()
{
    const int port = m_state.settings.ComPortNumber;
    if (!m_state.PortOpen || m_state.ModemConnected || !m_library.portLost(port)) {
        return false;
    }
    m_library.IO_Close(port);
    m_state.PortOpen = false;
    m_state.PortLost = true;
    m_window.setStatusText(2, ReadingSession::disconnectedText(port));
    return true;
}

bool ModemAnswer::rearmLostPort()
{
    return m_state.PortLost && !m_state.ModemConnected && openAndArm();
}

void ModemAnswer::hangUpAndRearm()
{
    m_library.IO_dtr_control_enable(m_state.settings.ComPortNumber);
    m_session.stopReceiving();
    m_pump.waitWithEvents(std::chrono::milliseconds(kSettleMs));
    waitForCall();
}

void ModemAnswer::restoreAtClose()
{
    // A port that never opened, or whose device has gone, has no modem to disarm.
    if (m_state.PortOpen || m_state.ModemConnected) {
        release(m_state.settings.ComPortNumber);
    }
    m_state.PortLost = false;
}

void ModemAnswer::switchPort(int previousPort)
{
    if (m_state.PortOpen || m_state.ModemConnected) {
        release(previousPort);
    }
    m_state.PortOpen = false;
    m_state.PortLost = false;
    m_state.ModemConnected = false;
    waitForCall();
}

void ModemAnswer::release(int port)
{
    if (m_state.ModemConnected) {
        // The call's session ends first.
        m_session.closeSession(port);
        m_pump.waitWithEvents(std::chrono::milliseconds(kSettleMs));
        // Best effort: a port that does not open takes the disarm command nowhere, and there
        // is nobody to tell at exit.
        static_cast<void>(m_library.IO_Open(port, m_state.settings.BaudRate9600));
        m_library.IO_Write(port, kDisarmCommand);
        m_library.IO_dtr_control_disable(port);
        m_library.IO_Close(port);
        return;
    }
    m_library.IO_Write(port, kDisarmCommand);
    m_library.IO_Close(port);
}
