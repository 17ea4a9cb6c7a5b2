#include "terminaldetection.h"

#include "acquisition/readingsession.h"
#include "common/appstate.h"
#include "common/eventpump.h"
#include "common/textcodec.h"
#include "common/textutil.h"
#include "common/userdialogs.h"
#include "link/commlibrary.h"
#include "settingsconversions.h"

#include <cmath>
#include <limits>

TemplateImport::TemplateImport(const ConfigurationContext& context)
    : m_context(context)
{
}

std::optional<QString> TemplateImport::importTemplate(Kind kind)
{
    const BusyPointer busy(m_context.dialogs);
    CommLibrary& library = m_context.library;
    QByteArray& terminalId = m_context.state.TerminalId;
    QByteArray buffer(CommLibrary::kTemplateCapacity, ' ');
    if (library.I_CheckTerminal(terminalId) == 0) {
        return std::nullopt;
    }
    const std::int32_t result = kind == Kind::Body
                                    ? library.I_ReadEntriesConfig(terminalId, buffer)
                                    : library.I_ReadHeadersConfig(terminalId, buffer);
    if (result <= 0) {
        return QString();
    }
    return trimSpaces(TextCodec::fromWindows1252(buffer));
}

PortDetection::PortDetection(const ConfigurationContext& context)
    : m_context(context)
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

PortDetection::Result
PortDetection::Command5_Click(const QString& comPortText, const QString& baudRateText,
                              const std::function<void(const QString&)>& showPort)
{
    CommLibrary& library = m_context.library;
    std::int32_t& portNumber = m_context.state.settings.ComPortNumber;
    const std::int32_t previousPort = portNumber;
    {
        const BusyPointer busy(m_context.dialogs);
        // The library writes into it; nothing reads it afterwards.
        QByteArray probeId(CommLibrary::kTerminalIdLength, ' ');
        m_context.session.receivingdata_end();
        const std::int32_t speed = probeSpeed(baudRateText);
        for (int port = kFirstPort; port <= kLastPort; ++port) {
            portNumber = port;
            showPort(portText(port));
            m_context.pump.processEvents();
            if (library.I_OpenCom(port, speed) < 0) {
                continue;
            }
            m_context.pump.processEvents();
            library.VORLAK_Sleep(kSettleMs);
            const std::int32_t answered = library.I_CheckTerminal(probeId);
            library.I_CloseCom(port);
            if (answered != 0) {
                m_context.session.receivingdata_ini();
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
        m_context.session.receivingdata_ini();
    }
    m_context.dialogs.showMessage(
        QStringLiteral("No terminal answered on ports %1 to %2. Check that the terminal sits in "
                       "its cradle and that the cradle is connected. Reading goes on on port %3, "
                       "as before.")
            .arg(kFirstPort)
            .arg(kLastPort)
            .arg(previousPort));
    return {std::nullopt, comPortText};
}
