#pragma once

#include "document/viewfile.h"

#include <QString>

class MainWindowControls;
class RichDocumentView;
class TextPrinter;
class UserDialogs;
struct FileDialogState;
struct Settings;

/// The File menu's commands on the document view: load a file into it, save it as plain text,
/// print it. Each failure is shown in a message that names the file (or printer) and the
/// reason; nothing is changed by a command that fails or is cancelled.
class DocumentCommands
{
public:
    /// The largest file Load puts into the view; a bigger one would leave the window frozen.
    static constexpr qint64 kMaxLoadBytes = ViewFile::kMaxBytes;

    DocumentCommands(RichDocumentView& view, MainWindowControls& window, UserDialogs& dialogs,
                     TextPrinter& printer, const Settings& settings, FileDialogState& dialogState);

    /// The filter of both file dialogs: "Text files (*.txt)" first, then " All Files (*.*)".
    [[nodiscard]] static QString fileFilter();

    /// Asks for a file and shows it: a rich-text file with its formatting, any other file as
    /// plain text (UTF-8, or Windows-1252 when it is not valid UTF-8). The path goes to status
    /// panel 1.
    void load();
    /// Asks for a file name, offering the output file setting, and writes the view's plain text
    /// there, replacing the file as a whole.
    void saveAs();
    /// Prints the selection, or the whole view when nothing is selected.
    void print();

private:
    RichDocumentView& m_view;
    MainWindowControls& m_window;
    UserDialogs& m_dialogs;
    TextPrinter& m_printer;
    const Settings& m_settings;
    FileDialogState& m_dialogState;
};
