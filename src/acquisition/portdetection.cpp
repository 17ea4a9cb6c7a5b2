#include "portdetection.h"

#include "common/appstate.h"
#include "common/eventpump.h"
#include "common/settingsconversions.h"
#include "common/userdialogs.h"
#include "link/commlibrary.h"
#include "readingsession.h"

#include <QCoreApplication>
#include <cmath>
#include <limits>

PortDetection::PortDetection(CommLibrary& library, AppState& state, ReadingSession& session,
                             EventPump& pump, UserDialogs& dialogs)
    : m_library(library)
    , m_state(state)
    , m_session(session)
    , m_pump(pump)
    , m_dialogs(dialogs)
{
}

std::int32_t PortDetection::probeSpeed(const QString& baudRateText)
{
    const double speed = std::nearbyint(SettingsConversions::leadingNumber(baudRateText));
    if (!(speed >= 0 && speed <= std::numeric_limits<std::int32_t>::max())) {
        return 0;
    }
    return static_cast<std::int32_t>(speed);
}

QString PortDetection::portText(int port)
{
    return QStringLiteral("Com%1").arg(port);
}

PortDetection::Result PortDetection::detect(const QString& comPortText, const QString& baudRateText,
                                            const std::function<void(const QString&)>& showPort)
{
    CommLibrary& library = m_library;
    std::int32_t& portNumber = m_state.settings.ComPortNumber;
    const std::int32_t previousPort = portNumber;
    {
        const BusyPointer busy(m_dialogs);
        // The library writes into it; nothing reads it afterwards.
        QByteArray probeId(CommLibrary::kTerminalIdLength, ' ');
        m_session.stopReceiving();
        const std::int32_t speed = probeSpeed(baudRateText);
        for (int port = kFirstPort; port <= kLastPort; ++port) {
            portNumber = port;
            showPort(portText(port));
            m_pump.processEvents();
            if (library.I_OpenCom(port, speed) < 0) {
                continue;
            }
            m_pump.processEvents();
            library.VORLAK_Sleep(kSettleMs);
            const std::int32_t answered = library.I_CheckTerminal(probeId);
            library.I_CloseCom(port);
            if (answered != 0) {
                m_session.startReceiving();
                return {port, portText(port)};
            }
        }
        portNumber = kLastPort + 1;
        // The library's own closing probe after a run without answer.
        static_cast<void>(library.I_OpenCom(kFirstPort, speed));
        library.I_CloseCom(kFirstPort);

        // Without this the program would be left without a port until its next start.
        portNumber = previousPort;
        showPort(comPortText);
        m_session.startReceiving();
    }
    m_dialogs.showWarning(
        QCoreApplication::translate(
            "PortDetection",
            "No terminal answered on ports %1 to %2. Check that the terminal sits in "
            "its cradle and that the cradle is connected. Reading goes on on port %3, "
            "as before.")
            .arg(kFirstPort)
            .arg(kLastPort)
            .arg(previousPort));
    return {std::nullopt, comPortText};
}
