#include "documentcommands.h"

#include "common/fileoperations.h"
#include "common/linebreaks.h"
#include "common/mainwindowcontrols.h"
#include "common/settings.h"
#include "common/textcodec.h"
#include "common/userdialogs.h"
#include "document/filedialogstate.h"
#include "document/richdocumentview.h"
#include "document/rtfreader.h"
#include "document/viewfile.h"
#include "textprinter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

DocumentCommands::DocumentCommands(RichDocumentView& view, MainWindowControls& window,
                                   UserDialogs& dialogs, TextPrinter& printer,
                                   const Settings& settings, FileDialogState& dialogState)
    : m_view(view)
    , m_window(window)
    , m_dialogs(dialogs)
    , m_printer(printer)
    , m_settings(settings)
    , m_dialogState(dialogState)
{
}

QString DocumentCommands::fileFilter()
{
    return QCoreApplication::translate("DocumentCommands", "Text files (*.txt);; All Files (*.*)");
}

void DocumentCommands::load()
{
    const std::optional<QString> chosen = m_dialogState.askOpenFile(m_dialogs, fileFilter());
    if (!chosen) {
        return;
    }
    const QString path = *chosen;

    const auto fail = [&](const QString& reason) {
        m_dialogs.showError(
            QCoreApplication::translate("DocumentCommands", "The file %1 could not be loaded: %2.")
                .arg(quotedPath(path), reason));
    };
    QString reason;
    const std::optional<QByteArray> bytes = ViewFile::read(path, &reason);
    if (!bytes) {
        fail(reason);
        return;
    }
    bool shown = false;
    {
        BusyPointer busy(m_dialogs);
        shown = ViewFile::show(m_view, *bytes, &reason);
    }
    if (!shown) {
        // The view keeps what it showed before.
        fail(reason);
        return;
    }
    m_window.setStatusText(1, QDir::toNativeSeparators(path));
}

void DocumentCommands::saveAs()
{
    // The output file of the settings is offered every time, whatever was chosen last.
    m_dialogState.fileName = m_settings.MyFileName;
    const std::optional<QString> chosen =
        m_dialogs.saveFileName({QString(), fileFilter(), m_dialogState.fileName});
    if (!chosen || chosen->isEmpty()) {
        return;
    }
    const QString path = *chosen;
    m_dialogState.fileName = path;

    const QByteArray content = withPlatformLineEndings(m_view.text()).toUtf8();
    if (const FileWriteResult written = writeFileAtomically(path, content); !written) {
        m_dialogs.showError(
            QCoreApplication::translate("DocumentCommands",
                                        "The text could not be saved to %1: %2.\n\nNothing "
                                        "was written there; a file of that name keeps its "
                                        "earlier content.")
                .arg(quotedPath(path), written.error));
    }
}

void DocumentCommands::print()
{
    const QString selection = m_view.selectedText();
    const QString text = selection.isEmpty() ? m_view.text() : selection;
    PrintResult printed;
    {
        BusyPointer busy(m_dialogs);
        printed = m_printer.printText(text);
    }
    if (!printed) {
        m_dialogs.showError(
            QCoreApplication::translate("DocumentCommands", "Nothing was printed: %1.")
                .arg(printed.error));
    }
}
