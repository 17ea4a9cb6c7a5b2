#pragma once

#include "common/userdialogs.h"

#include <QPointer>

class QWidget;

/// UserDialogs shown with Qt's standard dialogs, parented to a window.
class QtUserDialogs : public UserDialogs
{
public:
    explicit QtUserDialogs(QWidget* parent = nullptr);
    void setParentWindow(QWidget* parent) { m_parent = parent; }

    void showMessage(const QString& text, const QString& title = {},
                     MessageIcon icon = MessageIcon::Information) override;
    bool askYesNo(const QString& text, const QString& title) override;
    std::optional<QString> askText(const QString& prompt, const QString& title = {},
                                   const QString& initialText = {}) override;
    std::optional<QString> openFileName(const FileDialogRequest& request) override;
    std::optional<QString> saveFileName(const FileDialogRequest& request) override;
    void setBusy(bool busy) override;

private:
    QPointer<QWidget> m_parent;
};
