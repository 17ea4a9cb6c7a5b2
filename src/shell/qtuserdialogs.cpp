#include "qtuserdialogs.h"

#include "common/appidentity.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace {

QString titleOrDefault(const QString& title)
{
    return title.isEmpty() ? AppIdentity::productName() : title;
}

} // namespace

QtUserDialogs::QtUserDialogs(QWidget* parent)
    : m_parent(parent)
{
}

void QtUserDialogs::showMessage(const QString& text, const QString& title, MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information:
        QMessageBox::information(m_parent, titleOrDefault(title), text, QMessageBox::Ok);
        return;
    case MessageIcon::Warning:
        QMessageBox::warning(m_parent, titleOrDefault(title), text, QMessageBox::Ok);
        return;
    case MessageIcon::Critical:
        QMessageBox::critical(m_parent, titleOrDefault(title), text, QMessageBox::Ok);
        return;
    }
}

bool QtUserDialogs::askYesNo(const QString& text, const QString& title)
{
    return QMessageBox::question(m_parent, titleOrDefault(title), text,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

std::optional<QString> QtUserDialogs::askText(const QString& prompt, const QString& title,
                                              const QString& initialText)
{
    bool ok = false;
    const QString text = QInputDialog::getText(m_parent, titleOrDefault(title), prompt,
                                               QLineEdit::Normal, initialText, &ok);
    if (!ok) {
        return std::nullopt;
    }
    return text;
}

std::optional<QString> QtUserDialogs::openFileName(const FileDialogRequest& request)
{
    const QString path =
        QFileDialog::getOpenFileName(m_parent, request.title, request.initialPath, request.filter);
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return path;
}

std::optional<QString> QtUserDialogs::saveFileName(const FileDialogRequest& request)
{
    const QString path =
        QFileDialog::getSaveFileName(m_parent, request.title, request.initialPath, request.filter);
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return path;
}

void QtUserDialogs::setBusy(bool busy)
{
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}
