#include "widgetcaptioner.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QWidget>

WidgetCaptioner::WidgetCaptioner(QWidget* window)
    : m_window(window)
{
}

void WidgetCaptioner::setCaption(const QString& controlName, const QString& text)
{
    if (m_window == nullptr) {
        return;
    }
    if (controlName == m_window->objectName()) {
        m_window->setWindowTitle(text);
        return;
    }
    QObject* control = m_window->findChild<QObject*>(controlName);
    if (auto* menu = qobject_cast<QMenu*>(control)) {
        menu->setTitle(text);
    } else if (auto* action = qobject_cast<QAction*>(control)) {
        action->setText(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        button->setText(text);
    } else if (auto* group = qobject_cast<QGroupBox*>(control)) {
        group->setTitle(text);
    } else if (auto* label = qobject_cast<QLabel*>(control)) {
        label->setText(text);
    } else if (auto* widget = qobject_cast<QWidget*>(control)) {
        widget->setWindowTitle(text);
    }
}
