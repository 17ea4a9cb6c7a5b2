#include "filedelivery.h"

#include "common/appstate.h"
#include "common/userdialogs.h"
#include "externalprogramrunner.h"
#include "lists/terminalclearing.h"
#include "outputfilepolicy.h"

FileDelivery::FileDelivery(OutputFilePolicy& files, TerminalClearing& clearing,
                           ExternalProgramRunner& runner, UserDialogs& dialogs, AppState& state)
    : m_files(files)
    , m_clearing(clearing)
    , m_runner(runner)
    , m_dialogs(dialogs)
    , m_state(state)
{
}

bool FileDelivery::deliver()
{
    const FileDeliveryResult written = m_files.deliver(m_state.settings);
    if (!written.ok) {
        m_dialogs.showMessage(written.message() +
                              QStringLiteral("\n\nThe data stays on the terminal and in the "
                                             "window; save it with \"Save as\"."));
        return false;
    }
    if (m_state.settings.AutoClear != 0) {
        m_clearing.Clear_all_entries_Click();
    }
    if (!m_state.settings.MyExternalProgram.isEmpty()) {
        static_cast<void>(m_runner.RunShell(m_state.settings.MyExternalProgram));
    }
    return true;
}
