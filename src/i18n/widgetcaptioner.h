#pragma once

#include "captiontarget.h"

#include <QPointer>

class QWidget;

/// Captions the controls of a Qt window found by their objectName: actions and buttons get
/// their text, menus and group boxes their title, and the window's own name its title.
class WidgetCaptioner : public CaptionTarget
{
public:
    explicit WidgetCaptioner(QWidget* window);
    void setCaption(const QString& controlName, const QString& text) override;

private:
    QPointer<QWidget> m_window;
};
