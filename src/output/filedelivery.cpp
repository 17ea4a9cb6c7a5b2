#include "filedelivery.h"

#include "common/appstate.h"
#include "common/userdialogs.h"
#include "externalprogramrunner.h"
#include "outputfilepolicy.h"
#include "terminaleraser.h"

#include <QCoreApplication>

FileDelivery::FileDelivery(OutputFilePolicy& files, TerminalEraser& clearing,
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
    m_written = written.written;
    m_problem.clear();
    if (!written.ok) {
        m_problem = QCoreApplication::translate("FileDelivery",
                                                "%1\n\nThe data stays on the terminal and in the "
                                                "window; save it with \"Save as\".")
                        .arg(written.message());
        m_dialogs.showError(m_problem);
        return false;
    }
    // With no file policy set (a hand-edited settings file) nothing was written: the data is
    // nowhere but on the terminal and in the window.
    if (written.written.isEmpty()) {
        m_problem = QCoreApplication::translate(
            "FileDelivery",
            "No output file policy (numbered, overwrite or append) is selected, so the reading "
            "was not written to any file. The data stays on the terminal and in the window.");
        m_dialogs.showWarning(m_problem);
        return false;
    }
    if (m_state.settings.AutoClear != 0) {
        // The clearing shows its own message when it fails; the files are written either way.
        static_cast<void>(m_clearing.clearAll());
    }
    if (!m_state.settings.MyExternalProgram.isEmpty()) {
        // The runner tells the user when the program cannot start; delivery is done either way.
        static_cast<void>(m_runner.runProgram(m_state.settings.MyExternalProgram));
    }
    return true;
}
