#include "readingsession.h"

#include "common/appstate.h"
#include "common/eventpump.h"
#include "common/mainwindowcontrols.h"
#include "common/numbertext.h"
#include "common/userdialogs.h"
#include "i18n/uilanguage.h"
#include "link/commlibrary.h"
#include "porterror.h"

#include <QCoreApplication>
#include <QFileInfo>

ReadingSession::ReadingSession(CommLibrary& library, AppState& state, MainWindowControls& window,
                               EventPump& pump, UserDialogs& dialogs, const UiLanguage& language)
    : m_library(library)
    , m_state(state)
    , m_window(window)
    , m_pump(pump)
    , m_dialogs(dialogs)
    , m_language(language)
{
}

QString ReadingSession::portStateText(int port, const QString& closing)
{
    // %1 the port number, %2 the rest: ")" or ") ON" / ") OFF" for the terminal on its cradle.
    return QCoreApplication::translate("ReadingSession", "Port Open (%1%2")
        .arg(numberText(port), closing);
}

QString ReadingSession::disconnectedText(int port)
{
    return QCoreApplication::translate("ReadingSession",
                                       "Cradle disconnected from Com%1, waiting for it to return")
        .arg(port);
}

QString ReadingSession::noPortText(int port)
{
    return QCoreApplication::translate("ReadingSession", "No port open: Com%1 could not be opened")
        .arg(port);
}

QString ReadingSession::deviceOf(int port) const
{
    return m_locator ? m_locator(port) : QString();
}

bool ReadingSession::openQuietly(int port)
{
    if (m_library.I_OpenCom(port, m_state.settings.BaudRate9600) == CommLibrary::kCommError) {
        return false;
    }
    // Watched only when it is a file here: the maker's library may name its devices otherwise.
    const QString device = deviceOf(port);
    m_device = !device.isEmpty() && QFileInfo::exists(device) ? device : QString();
    m_state.PortOpen = true;
    m_state.PortLost = false;
    m_window.setStatusText(2, portStateText(port, QStringLiteral(")")));
    return true;
}

void ReadingSession::startReceiving()
{
    const int port = m_state.settings.ComPortNumber;
    if (!openQuietly(port)) {
        m_dialogs.showError(portErrorMessage(m_language, m_library, port));
        m_state.PortOpen = false;
        m_state.PortLost = true;
        m_device.clear();
        m_window.setStatusText(2, noPortText(port));
        // The ticks keep trying it quietly: a cradle plugged in later is opened and read.
        m_window.setTimerEnabled(true);
        return;
    }
    m_window.setTimerEnabled(true);
}

void ReadingSession::stopReceiving()
{
    const int port = m_state.settings.ComPortNumber;
    if (m_state.PortLost) {
        // Nothing is open; the tick must not open it again behind the caller's back.
        m_state.PortLost = false;
        m_window.setTimerEnabled(false);
        return;
    }
    if (port <= 0 || !m_state.PortOpen) {
        return;
    }
    closeSession(port);
}

void ReadingSession::closeSession(int port)
{
    m_window.setTimerEnabled(false);
    // A tick already queued runs now, while the port is still there.
    m_pump.processEvents();
    m_library.I_CloseCom(port);
    m_state.PortOpen = false;
}

void ReadingSession::switchPort(int previousPort)
{
    if (m_state.PortOpen) {
        closeSession(previousPort);
    }
    m_state.PortLost = false;
    m_state.TerminalOnCradle = false;
    startReceiving();
}

bool ReadingSession::closeIfDeviceGone()
{
    const int port = m_state.settings.ComPortNumber;
    if (!m_state.PortOpen || m_state.ModemConnected) {
        return false;
    }
    const bool vanished = !m_device.isEmpty() && !QFileInfo::exists(m_device);
    if (!vanished && !m_library.portLost(port)) {
        return false;
    }
    m_library.I_CloseCom(port);
    m_state.PortOpen = false;
    m_state.PortLost = true;
    m_state.TerminalOnCradle = false;
    m_window.setStatusText(2, disconnectedText(port));
    return true;
}

bool ReadingSession::reopenLostPort()
{
    const int port = m_state.settings.ComPortNumber;
    if (!m_state.PortLost || port <= 0) {
        return false;
    }
    // With the adapter unplugged its number may lead to another device (the next adapter, a
    // built-in port): that one is not the cradle.
    if (!m_device.isEmpty() && deviceOf(port) != m_device) {
        return false;
    }
    return openQuietly(port);
}
