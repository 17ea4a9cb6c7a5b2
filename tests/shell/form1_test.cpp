#include "config/configloader.h"
#include "config/localesource.h"
#include "config/memorysettingsstore.h"
#include "config/settings.h"
#include "i18n/uilanguage.h"
#include "recordingdialogs.h"
#include "shell/form1.h"

#include <QMenu>
#include <QMenuBar>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

class Form1Test : public ::testing::Test
{
protected:
    MemorySettingsStore store;
    SystemLocaleSource locale{QLocale(QLocale::English, QLocale::UnitedStates)};
    UiLanguage language;
    RecordingDialogs dialogs;
    Settings settings;
    ConfigLoader config{store, locale, language, dialogs};
    Form1 window{language, config, settings};
};

} // namespace

TEST_F(Form1Test, LoadSetsTheCaptionAndLoadsTheSettings)
{
    window.Form_Load();
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Kolbrin  1. 0. 117"));
    EXPECT_EQ(settings.MyFileName, QStringLiteral("Demo.txt"));
    EXPECT_EQ(window.Timer1()->interval(), 500);
    EXPECT_FALSE(window.Timer1()->isActive());
}

TEST_F(Form1Test, MenusComeInOrderAndTakeTheStoredLanguage)
{
    ASSERT_TRUE(store.write(QStringLiteral("Language"), QStringLiteral("Spanish")));
    window.Form_Load();

    QStringList names;
    QStringList captions;
    for (QAction* top : window.menuBar()->actions()) {
        QMenu* menu = top->menu();
        ASSERT_NE(menu, nullptr);
        names.append(menu->objectName());
        captions.append(menu->title());
        for (QAction* item : menu->actions()) {
            names.append(item->objectName());
            captions.append(item->text());
        }
    }
    EXPECT_EQ(names.join(QLatin1Char(' ')),
              QStringLiteral("File NewFile Load SaveAs Print_ Exit Configurations GeneralConf "
                             "Communicate Read_entries Clear_all_entries SendEntries ClearEntries "
                             "SendProgram2 Help Aboutus"));
    EXPECT_EQ(captions.at(0), QStringLiteral("Fichero"));
    EXPECT_EQ(captions.at(5), QStringLiteral("Salir"));
    EXPECT_EQ(captions.at(12), QStringLiteral("Borrar lista"));
    EXPECT_EQ(captions.at(15), QStringLiteral("Sobre Qel"));
}
