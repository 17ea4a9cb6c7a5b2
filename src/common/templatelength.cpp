#include "templatelength.h"

#include "settings.h"

#include <QCoreApplication>
#include <QLocale>

QString templateLengthProblem(const char16_t* key, const QString& value)
{
    if (value.size() <= kMaxTemplateLength) {
        return {};
    }
    const QString name = QString::fromUtf16(key);
    const bool body = name == QString::fromUtf16(SettingsKey::AsciiDataFormat);
    const QLocale numbers(QLocale::English);
    const QString text =
        body ? QCoreApplication::translate("TemplateLength",
                                           "The body template (setting %1) is %2 characters long, "
                                           "more than the %3 characters a template may have")
             : QCoreApplication::translate("TemplateLength",
                                           "The header template (setting %1) is %2 characters "
                                           "long, more than the %3 characters a template may "
                                           "have");
    return text.arg(name, numbers.toString(value.size()), numbers.toString(kMaxTemplateLength));
}
