#pragma once

#include "common/userdialogs.h"
#include "qtprinters.h"

#include <QList>
#include <QStringList>
#include <deque>

/// UserDialogs that records what would have been shown and answers from a script.
class RecordingDialogs : public UserDialogs
{
public:
    struct Shown
    {
        QString kind; ///< "message", "question", "input", "open", "save"
        QString text;
        QString title;
        MessageIcon icon = MessageIcon::Information; ///< of a message
    };

    void showMessage(const QString& text, const QString& title = {},
                     MessageIcon icon = MessageIcon::Information) override;
    bool askYesNo(const QString& text, const QString& title) override;
    std::optional<QString> askText(const QString& prompt, const QString& title = {},
                                   const QString& initialText = {}) override;
    std::optional<QString> openFileName(const FileDialogRequest& request) override;
    std::optional<QString> saveFileName(const FileDialogRequest& request) override;
    void setBusy(bool busy) override;

    /// Scripted answers, taken in order; when a script runs dry: No, cancel.
    std::deque<bool> yesNoAnswers;
    std::deque<std::optional<QString>> textAnswers;
    std::deque<std::optional<QString>> fileAnswers;

    QList<Shown> shown;
    QList<FileDialogRequest> fileRequests;
    int busyDepth = 0;
    int busyMaxDepth = 0;

    [[nodiscard]] QStringList messages() const;
};
