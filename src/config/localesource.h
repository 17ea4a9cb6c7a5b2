#pragma once

#include <QLocale>
#include <QString>

/// Gives the full name of the user's locale language, as the first-run language choice reads it.
class LocaleSource
{
public:
    virtual ~LocaleSource() = default;
    [[nodiscard]] virtual QString languageName() const = 0;
};

/// The user's locale as an English language name with the country in brackets, e.g.
/// "Portuguese (Brazil)".
class SystemLocaleSource : public LocaleSource
{
public:
    /// The system locale, or the given one (for tests).
    explicit SystemLocaleSource(QLocale locale = QLocale::system());
    [[nodiscard]] QString languageName() const override;

    [[nodiscard]] static QString nameOf(const QLocale& locale);

private:
    QLocale m_locale;
};
