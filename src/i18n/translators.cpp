#include "translators.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>

namespace {

// The language codes in the order of UiLanguage::languageIndex().
constexpr const char* kCodes[] = {"en", "pt", "es"};

QString codeOf(std::int16_t languageIndex)
{
    const auto index = static_cast<std::size_t>(languageIndex);
    return QString::fromLatin1(index < std::size(kCodes) ? kCodes[index] : kCodes[0]);
}

} // namespace

Translators::Translators() = default;

Translators::~Translators()
{
    removeAll();
}

QStringList Translators::qtTranslationFolders()
{
    QStringList folders;
    if (QCoreApplication::instance() != nullptr) {
        folders << QDir(QCoreApplication::applicationDirPath())
                       .filePath(QStringLiteral("translations"));
    }
    folders << QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    return folders;
}

QStringList Translators::qtTranslationNames(std::int16_t languageIndex)
{
    // Debian ships Brazilian Portuguese for Qt's dialogs (qtbase_pt_BR); its button texts
    // (Sim, Não, Cancelar, Abrir, Salvar) read well in either variant.
    switch (languageIndex) {
    case 1:
        return {QStringLiteral("qtbase_pt"), QStringLiteral("qtbase_pt_PT"),
                QStringLiteral("qtbase_pt_BR"), QStringLiteral("qt_pt_PT"),
                QStringLiteral("qt_pt_BR")};
    case 2:
        return {QStringLiteral("qtbase_es"), QStringLiteral("qt_es")};
    default:
        return {};
    }
}

void Translators::removeAll()
{
    if (QCoreApplication::instance() != nullptr) {
        if (m_program) {
            QCoreApplication::removeTranslator(m_program.get());
        }
        if (m_qt) {
            QCoreApplication::removeTranslator(m_qt.get());
        }
    }
    m_program.reset();
    m_qt.reset();
    m_qtLoaded = false;
}

void Translators::apply(std::int16_t languageIndex)
{
    if (QCoreApplication::instance() == nullptr || languageIndex == m_applied) {
        return;
    }
    removeAll();
    m_applied = languageIndex;

    m_qt = std::make_unique<QTranslator>();
    for (const QString& name : qtTranslationNames(languageIndex)) {
        for (const QString& folder : qtTranslationFolders()) {
            if (m_qt->load(name, folder)) {
                m_qtLoaded = true;
                break;
            }
        }
        if (m_qtLoaded) {
            break;
        }
    }
    if (m_qtLoaded) {
        QCoreApplication::installTranslator(m_qt.get());
    }

    // The program's own translation is installed last, so it is asked first.
    m_program = std::make_unique<QTranslator>();
    if (m_program->load(QStringLiteral(":/i18n/kolbrin_") + codeOf(languageIndex))) {
        QCoreApplication::installTranslator(m_program.get());
    }
}
