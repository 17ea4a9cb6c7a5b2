#include "form2host.h"

#include "form2.h"
#include "i18n/uilanguage.h"

#include <QWidget>

Form2Host::Form2Host(GeneralConfiguration& model, UiLanguage& language, QWidget* parent)
    : m_model(model)
    , m_language(language)
    , m_parent(parent)
{
    m_language.setWindowProvider(CaptionWindow::Configuration, [this] { return captionTarget(); });
}

Form2Host::~Form2Host()
{
    m_language.setWindowProvider(CaptionWindow::Configuration, {});
    delete m_form.data();
}

void Form2Host::setPortGuard(std::function<void(QObject*, const std::function<void()>&)> guard)
{
    m_portGuard = std::move(guard);
    if (m_form != nullptr) {
        m_form->setPortGuard(m_portGuard);
    }
}

Form2* Form2Host::form() const
{
    return m_form.data();
}

Form2* Form2Host::ensureForm()
{
    if (m_form == nullptr) {
        // Known before it loads: loading applies the language, which asks for this dialog.
        m_form = new Form2(m_model, m_parent);
        m_form->setPortGuard(m_portGuard);
        QObject::connect(m_form.data(), &Form2::discarded, m_form.data(),
                         [this, discardedForm = m_form.data()] {
                             if (m_form == discardedForm) {
                                 m_form = nullptr;
                             }
                         });
        m_form->Form_Load();
    }
    return m_form.data();
}

CaptionTarget* Form2Host::captionTarget()
{
    return &ensureForm()->captioner();
}

void Form2Host::showGeneralConf()
{
    Form2* dialog = ensureForm();
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}
