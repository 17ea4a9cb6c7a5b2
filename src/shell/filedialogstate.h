#pragma once

#include <QString>

/// What the main window's file dialogs share: each opens with the file name chosen last in any
/// of them, unless its command offers a name of its own.
struct FileDialogState
{
    QString fileName;
};
