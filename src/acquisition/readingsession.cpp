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

void ReadingSession::startReceiving()
{
    const int port = m_state.settings.ComPortNumber;
    if (m_library.I_OpenCom(port, m_state.settings.BaudRate9600) == CommLibrary::kCommError) {
        m_dialogs.showError(portErrorMessage(m_language, m_library, port));
        m_state.PortOpen = false;
        m_window.setStatusText(2, QString());
        return;
    }
    m_window.setStatusText(2, portStateText(port, QStringLiteral(")")));
    m_state.PortOpen = true;
    m_window.setTimerEnabled(true);
}

void ReadingSession::stopReceiving()
{
    const int port = m_state.settings.ComPortNumber;
    if (port <= 0 || !m_state.PortOpen) {
        return;
    }
    m_window.setTimerEnabled(false);
    // A tick already queued runs now, while the port is still there.
    m_pump.processEvents();
    m_library.I_CloseCom(port);
}
