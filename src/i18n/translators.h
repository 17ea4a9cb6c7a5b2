#pragma once

#include <QString>
#include <QStringList>
#include <QTranslator>
#include <cstdint>
#include <memory>

/// The translators of the program's own messages (kolbrin_<lang>.qm, built into the program)
/// and of Qt's dialogs and buttons (qtbase_<lang>.qm from Qt's translations folder), installed
/// on the application for the chosen language. Installing them makes Qt send a LanguageChange
/// event to every window, so windows that caption themselves with tr() can retranslate.
class Translators
{
public:
    Translators();
    ~Translators();
    Translators(const Translators&) = delete;
    Translators& operator=(const Translators&) = delete;

    /// 0 English, 1 Portuguese, 2 Spanish. Does nothing without a QCoreApplication.
    void apply(std::int16_t languageIndex);

    /// Where Qt's own translations are looked for: a `translations` folder beside the program
    /// (a packaged Windows build), then Qt's translations folder.
    [[nodiscard]] static QStringList qtTranslationFolders();
    /// The file names (without .qm) of Qt's translations tried for a language, best first.
    [[nodiscard]] static QStringList qtTranslationNames(std::int16_t languageIndex);
    /// Whether Qt's translations for the last applied language were found.
    [[nodiscard]] bool qtTranslationsLoaded() const { return m_qtLoaded; }

private:
    void removeAll();

    std::unique_ptr<QTranslator> m_program;
    std::unique_ptr<QTranslator> m_qt;
    bool m_qtLoaded = false;
    std::int16_t m_applied = -1;
};
