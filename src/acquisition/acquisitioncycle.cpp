#include "acquisitioncycle.h"

#include "common/appstate.h"
#include "common/documentview.h"
#include "common/mainwindowcontrols.h"
#include "common/settings.h"
#include "common/settingsstore.h"
#include "common/textcodec.h"
#include "common/textutil.h"
#include "common/userdialogs.h"
#include "i18n/uilanguage.h"
#include "link/commlibrary.h"
#include "modemanswer.h"
#include "porterror.h"
#include "readingsession.h"
#include "terminalfilename.h"

AcquisitionCycle::AcquisitionCycle(CommLibrary& library, AppState& state,
                                   MainWindowControls& window, DocumentView& view,
                                   UserDialogs& dialogs, const UiLanguage& language,
                                   SettingsStore& store, ModemAnswer& modem, Steps steps)
    : m_library(library)
    , m_state(state)
    , m_window(window)
    , m_view(view)
    , m_dialogs(dialogs)
    , m_language(language)
    , m_store(store)
    , m_modem(modem)
    , m_steps(std::move(steps))
{
}

void AcquisitionCycle::tick()
{
    // A tick during a slow call (its wait lets window events run) would only queue behind it:
    // the next tick after the call asks again.
    if (m_library.callInFlight()) {
        return;
    }
    if (m_state.settings.AutoAnswer && !m_state.ModemConnected) {
        modemPath();
    } else {
        cradlePath();
    }
}

void AcquisitionCycle::modemPath()
{
    const int port = m_state.settings.ComPortNumber;
    // The modem's port could not be opened, or its device went away: tried again each tick.
    if (m_state.PortLost) {
        static_cast<void>(m_modem.rearmLostPort());
        return;
    }
    const int waiting = m_library.IO_NumCharsInQue(port);
    if (waiting <= 0) {
        static_cast<void>(m_modem.closeIfPortLost());
        return;
    }
    const QByteArray bytes = m_library.IO_Read(port, waiting, 0);
    if (bytes.isEmpty()) {
        return;
    }
    m_state.ModemText += TextCodec::fromWindows1252(bytes);
    if (m_state.ModemText.contains(QLatin1String("CONNECT"))) {
        m_state.ModemText.clear();
        m_state.ModemConnected = true;
        // The library refuses only when the port is no longer held for raw bytes: the call
        // cannot be read then, so it is hung up and the modem waits for the next one.
        if (m_library.I_OpenComWithoutOpen(port, m_state.settings.BaudRate9600) ==
            CommLibrary::kCommError) {
            m_dialogs.showError(portErrorMessage(m_language, m_library, port));
            m_modem.hangUpAndRearm();
            return;
        }
        m_window.setStatusText(2, ReadingSession::portStateText(port, QStringLiteral(")")));
        m_state.PortOpen = true;
        m_window.setTimerEnabled(true);
        return;
    }
    // A modem that chatters for days must not grow this without bound.
    if (m_state.ModemText.size() > kModemTextLimit) {
        m_state.ModemText = m_state.ModemText.right(kModemTextLimit);
    }
}

void AcquisitionCycle::cradlePath()
{
    const int port = m_state.settings.ComPortNumber;
    // The cradle was unplugged, or its port could not be opened: nothing answers until the port
    // is open again, and the next tick asks for a terminal.
    if (m_state.PortLost) {
        if (m_steps.reopenLostPort) {
            static_cast<void>(m_steps.reopenLostPort());
        }
        return;
    }
    // A negative answer is an error of the library (or no library at all), not a terminal.
    if (m_library.I_CheckTerminal(m_state.TerminalId) <= 0) {
        if (m_steps.closeIfDeviceGone && m_steps.closeIfDeviceGone()) {
            return;
        }
        m_window.setStatusText(2, ReadingSession::portStateText(port, QStringLiteral(") OFF")));
        m_state.TerminalOnCradle = false;
        return;
    }
    // Every tick with a terminal present, until the setting holds a template.
    if (trimSpaces(m_state.settings.BodyTemplate).size() <= 2) {
        fetchBodyTemplate();
    }
    if (m_state.TerminalOnCradle) {
        return; // this stay of the terminal has been handled
    }
    m_state.TerminalOnCradle = true;
    m_state.DataReceived = false;
    m_window.setStatusText(2, ReadingSession::portStateText(port, QStringLiteral(") ON")));

    const Settings& settings = m_state.settings;
    if (settings.UseTerminalId) {
        nameFileAfterTerminal();
    }
    const bool act = settings.AutomaticMode || (settings.InsertKeys && m_window.isMinimised());
    if (!act) {
        return;
    }
    m_view.setText(QString());
    if (settings.AutoStart != 0 || settings.InsertKeys ||
        m_dialogs.askYesNo(m_language.MsgReadData(), QStringLiteral("Qel"))) {
        m_steps.readTerminalData();
    }
    if (m_state.DataReceived) {
        m_steps.deliverReading();
    }
    if (m_state.ModemConnected) {
        m_modem.hangUpAndRearm();
    }
}

void AcquisitionCycle::fetchBodyTemplate()
{
    QByteArray buffer(CommLibrary::kTemplateCapacity, ' ');
    if (m_library.I_ReadEntriesConfig(m_state.TerminalId, buffer) <= 0) {
        return;
    }
    const QString bodyTemplate = trimSpaces(TextCodec::fromWindows1252(buffer));
    // A store that cannot keep the template has told the user; this reading uses it anyway and
    // the next arrival fetches it again.
    static_cast<void>(m_store.writeSetting(SettingsKey::AsciiDataFormat, bodyTemplate));
    m_state.settings.BodyTemplate = bodyTemplate + QStringLiteral("\r\n");
}

void AcquisitionCycle::nameFileAfterTerminal()
{
    m_state.settings.MyFileName = fileNameForTerminal(
        m_state.settings.MyFileName, TextCodec::fromWindows1252(m_state.TerminalId));
    // A store that cannot keep the name has told the user; the name is in force for this run.
    static_cast<void>(m_store.writeSetting(SettingsKey::MyFileName, m_state.settings.MyFileName));
}
