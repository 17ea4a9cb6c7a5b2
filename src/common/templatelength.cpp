#include "templatelength.h"

#include "settings.h"

#include <QLocale>

QString templateLengthProblem(const char16_t* key, const QString& value)
{
    if (value.size() <= kMaxTemplateLength) {
        return {};
    }
    const QString name = QString::fromUtf16(key);
    const bool body = name == QString::fromUtf16(SettingsKey::AsciiDataFormat);
    const QLocale numbers(QLocale::English);
    return QStringLiteral("The %1 template (setting %2) is %3 characters long, more than the %4 "
                          "characters a template may have")
        .arg(body ? QStringLiteral("body") : QStringLiteral("header"), name,
             numbers.toString(value.size()), numbers.toString(kMaxTemplateLength));
}
