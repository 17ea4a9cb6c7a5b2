#pragma once

#include "generalconfiguration.h"

#include <QPointer>
#include <functional>

class CaptionTarget;
class Form2;
class QObject;
class QWidget;
class UiLanguage;

/// Keeps the one configuration dialog of the main window through its life cycle: created
/// hidden when the language is first applied to it (so its captions are in place when it is
/// shown), shown by the GeneralConf menu, and created anew after OK or Cancel discarded it.
///
/// Registers itself as the language's provider of the configuration dialog. The main window
/// owns it and must destroy it before the configuration logic and the language.
class Form2Host
{
public:
    Form2Host(GeneralConfiguration& model, UiLanguage& language, QWidget* parent);
    ~Form2Host();
    Form2Host(const Form2Host&) = delete;
    Form2Host& operator=(const Form2Host&) = delete;

    /// The GeneralConf menu: shows the dialog, creating it first when there is none.
    void showGeneralConf();
    /// The dialog's captions, creating it hidden when there is none.
    [[nodiscard]] CaptionTarget* captionTarget();
    /// The current dialog; nullptr when there is none.
    [[nodiscard]] Form2* form() const;
    /// Given to every dialog this host creates (see Form2::setPortGuard).
    void setPortGuard(std::function<void(QObject*, const std::function<void()>&)> guard);

private:
    Form2* ensureForm();

    GeneralConfiguration& m_model;
    UiLanguage& m_language;
    QPointer<QWidget> m_parent;
    QPointer<Form2> m_form;
    std::function<void(QObject*, const std::function<void()>&)> m_portGuard;
};
