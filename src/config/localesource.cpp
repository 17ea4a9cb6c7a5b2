#include "localesource.h"

SystemLocaleSource::SystemLocaleSource(QLocale locale)
    : m_locale(std::move(locale))
{
}

QString SystemLocaleSource::languageName() const
{
    return nameOf(m_locale);
}

QString SystemLocaleSource::nameOf(const QLocale& locale)
{
    QString name = QLocale::languageToString(locale.language());
    if (locale.territory() != QLocale::AnyTerritory) {
        name +=
            QLatin1String(" (") + QLocale::territoryToString(locale.territory()) + QLatin1Char(')');
    }
    return name;
}
