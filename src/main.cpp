#include "config/configloader.h"
#include "config/inisettingsstore.h"
#include "config/localesource.h"
#include "config/settings.h"
#include "i18n/uilanguage.h"
#include "shell/form1.h"
#include "shell/qtuserdialogs.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kolbrin"));

    QtUserDialogs dialogs;
    IniSettingsStore store(IniSettingsStore::defaultFilePath(), &dialogs);
    SystemLocaleSource locale;
    UiLanguage language;
    Settings settings;
    ConfigLoader config(store, locale, language, dialogs);

    Form1 window(language, config, settings);
    dialogs.setParentWindow(&window);
    window.Form_Load();
    window.show();
    return QApplication::exec();
}
