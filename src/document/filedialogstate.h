#pragma once

#include "common/userdialogs.h"

#include <QString>
#include <optional>

/// What the main window's file dialogs share: each opens with the file name chosen last in any
/// of them, unless its command offers a name of its own.
struct FileDialogState
{
    QString fileName;

    /// Asks for a file to open, starting from the name chosen last; remembers the choice.
    /// nullopt when the user cancelled.
    [[nodiscard]] std::optional<QString> askOpenFile(UserDialogs& dialogs, const QString& filter)
    {
        const std::optional<QString> chosen = dialogs.openFileName({QString(), filter, fileName});
        if (!chosen || chosen->isEmpty()) {
            return std::nullopt;
        }
        fileName = *chosen;
        return chosen;
    }
};
