#pragma once

#include "common/userdialogs.h"

/// Answers every question with No or cancel and counts the messages, so that a benchmark never
/// blocks on a dialog.
class SilentDialogs : public UserDialogs
{
public:
    void showMessage(const QString&, const QString&, MessageIcon) override { ++messages; }
    bool askYesNo(const QString&, const QString&) override { return false; }
    std::optional<QString> askText(const QString&, const QString&, const QString&) override
    {
        return std::nullopt;
    }
    std::optional<QString> openFileName(const FileDialogRequest&) override { return std::nullopt; }
    std::optional<QString> saveFileName(const FileDialogRequest&) override { return std::nullopt; }
    void setBusy(bool) override {}

    int messages = 0;
};
