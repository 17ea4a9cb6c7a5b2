#include "common/memorysettingsstore.h"
#include "common/settings.h"
#include "config/configloader.h"
#include "config/localesource.h"
#include "i18n/uilanguage.h"
#include "recordingdialogs.h"

#include <gtest/gtest.h>

namespace {

// A fixed text of the program: the same in every language.
const QString kInvalid = QStringLiteral("Invalid Configurations !!!");

class FixedLocale : public LocaleSource
{
public:
    QString name = QStringLiteral("English (United States)");
    QString languageName() const override { return name; }
};

// A store whose writes fail, as a read-only settings file does.
class ReadOnlyStore : public MemorySettingsStore
{
public:
    bool write(const QString&, const QString&) override { return false; }
};

class ConfigLoaderTest : public ::testing::Test
{
protected:
    void load(SettingsStore& s)
    {
        ConfigLoader(s, locale, language, dialogs).loadSettings(settings);
    }
    void load() { load(store); }
    void put(const char* key, const char* value)
    {
        ASSERT_TRUE(store.write(QString::fromLatin1(key), QString::fromUtf8(value)));
    }

    MemorySettingsStore store;
    FixedLocale locale;
    UiLanguage language;
    RecordingDialogs dialogs;
    Settings settings;
};

} // namespace

TEST_F(ConfigLoaderTest, EmptyStoreGivesTheDefaults)
{
    load();
    EXPECT_EQ(settings.MyFileName, QStringLiteral("Demo.txt"));
    EXPECT_TRUE(settings.MyExternalProgram.isEmpty());
    EXPECT_FALSE(settings.AutomaticMode);
    EXPECT_TRUE(settings.ManualMode);
    EXPECT_FALSE(settings.InsertKeys);
    EXPECT_EQ(settings.AutoStart, 0);
    EXPECT_EQ(settings.AutoClear, 0);
    EXPECT_FALSE(settings.IncrNumber);
    EXPECT_TRUE(settings.NewFile);
    EXPECT_FALSE(settings.AppendFile);
    EXPECT_EQ(settings.BodyTemplate, QStringLiteral("\r\n"));
    EXPECT_TRUE(settings.HeaderTemplate.isEmpty());
    EXPECT_EQ(settings.ComPortNumber, 1);
    EXPECT_EQ(settings.BaudRate9600, 9600);
    EXPECT_EQ(settings.IncrNumberText, QStringLiteral("0000"));
    EXPECT_FALSE(settings.UseTerminalId);
    EXPECT_FALSE(settings.AutoAnswer);
    EXPECT_EQ(store.read(QStringLiteral("Language"), {}), QStringLiteral("English"));
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(ConfigLoaderTest, StoredValuesAreConverted)
{
    put("MyFileName", "C:\\out.d\\data.txt");
    put("AutomaticMode", "True");
    put("ManualMode", "False");
    put("AutoStart", "1");
    put("AutoClear", "1abc");
    put("AsciiDataFormat", "A");
    put("AsciiDataFormat2", "[Doc]");
    put("ComPort", "Com12");
    put("IncrNumberText", "0042");
    put("UseTerminalId", "1");
    put("AutoAnswer", "5");
    put("BaudRate", "19200");
    put("Language", "Spanish");
    load();
    EXPECT_EQ(settings.MyFileName, QStringLiteral("C:\\out.d\\data.txt"));
    EXPECT_TRUE(settings.AutomaticMode);
    EXPECT_FALSE(settings.ManualMode);
    EXPECT_EQ(settings.AutoStart, 1);
    EXPECT_EQ(settings.AutoClear, 1);
    EXPECT_EQ(settings.BodyTemplate, QStringLiteral("A\r\n"));
    EXPECT_EQ(settings.HeaderTemplate, QStringLiteral("[Doc]"));
    EXPECT_EQ(settings.ComPortNumber, 12);
    EXPECT_EQ(settings.BaudRate9600, 9600); // the stored BaudRate has no effect
    EXPECT_EQ(settings.IncrNumberText, QStringLiteral("0042"));
    EXPECT_TRUE(settings.UseTerminalId);
    EXPECT_TRUE(settings.AutoAnswer);
    EXPECT_EQ(language.languageIndex(), 2);
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(ConfigLoaderTest, FileNameWrittenUnderOneSpellingIsReadUnderTheOther)
{
    put("MyFileName", "first.txt");
    ASSERT_TRUE(store.write(QStringLiteral("MyFilename"), QStringLiteral("second.txt")));
    load();
    EXPECT_EQ(settings.MyFileName, QStringLiteral("second.txt"));
    EXPECT_EQ(store.entries().size(), 2); // MyFileName and the Language written by the load
}

TEST_F(ConfigLoaderTest, BadValuesKeepTheirFieldAndGiveOneMessageAfterLoadingTheRest)
{
    put("AutomaticMode", "yes");
    put("AutoStart", "70000");
    put("ComPort", "Com99999999999");
    put("AutoClear", "1");
    put("NewFile", "False");
    put("Language", "Portugues");
    load();
    EXPECT_FALSE(settings.AutomaticMode); // as before the first load
    EXPECT_EQ(settings.AutoStart, 0);
    EXPECT_EQ(settings.ComPortNumber, 0);
    EXPECT_EQ(settings.AutoClear, 1); // later keys still load
    EXPECT_FALSE(settings.NewFile);
    EXPECT_EQ(language.languageIndex(), 1); // and the language is applied
    EXPECT_EQ(dialogs.messages(), QStringList{kInvalid});
    // The store is left as it was.
    EXPECT_EQ(store.read(QStringLiteral("AutomaticMode"), {}), QStringLiteral("yes"));

    // A failed field keeps the value of the previous load, not a default.
    put("AutomaticMode", "True");
    put("AutoStart", "1");
    load();
    put("AutomaticMode", "maybe");
    put("AutoStart", "-40000");
    load();
    EXPECT_TRUE(settings.AutomaticMode);
    EXPECT_EQ(settings.AutoStart, 1);
}

TEST_F(ConfigLoaderTest, FirstRunLanguageFollowsTheLocaleName)
{
    struct Case
    {
        const char16_t* locale;
        const char* stored;
    };
    const Case cases[] = {
        {u"Portuguese (Brazil)", "Portugues"},     {u"Portugues", "Portugues"},
        {u"Spanish - Modern Sort", "Spanish"},     {u"Spanish (Spain)", "Spanish"},
        {u"Portugu\u00eas (Portugal)", "English"}, {u"German (Germany)", "English"},
        {u"spanish (Spain)", "English"},           {u"", "English"},
    };
    for (const Case& c : cases) {
        MemorySettingsStore fresh;
        locale.name = QString::fromUtf16(c.locale);
        load(fresh);
        EXPECT_EQ(fresh.read(QStringLiteral("Language"), {}), QString::fromLatin1(c.stored))
            << locale.name.toStdString();
    }
}

TEST_F(ConfigLoaderTest, LanguageHoldingNullRunsTheFirstRunRuleAgain)
{
    put("Language", "Null");
    locale.name = QStringLiteral("Spanish (Mexico)");
    load();
    EXPECT_EQ(store.read(QStringLiteral("Language"), {}), QStringLiteral("Spanish"));
    EXPECT_EQ(language.languageIndex(), 2);
    EXPECT_EQ(language.MsgPortError(), QStringLiteral("Error al abrir el puerto serie"));
}

TEST_F(ConfigLoaderTest, UnknownLanguageNameKeepsTheCurrentLanguage)
{
    put("Language", "Spanish");
    load();
    put("Language", "portugues");
    load();
    EXPECT_EQ(language.languageIndex(), 2);
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(ConfigLoaderTest, FailedLanguageWritesCountAsOneInvalidConfiguration)
{
    ReadOnlyStore readOnly;
    load(readOnly);
    EXPECT_EQ(dialogs.messages(), QStringList{kInvalid});
}

TEST(SystemLocaleSource, NamesTheLanguageInEnglishWithTheCountryInBrackets)
{
    EXPECT_EQ(SystemLocaleSource::nameOf(QLocale(QLocale::Portuguese, QLocale::Brazil)),
              QStringLiteral("Portuguese (Brazil)"));
    EXPECT_EQ(SystemLocaleSource::nameOf(QLocale(QLocale::Spanish, QLocale::Spain)),
              QStringLiteral("Spanish (Spain)"));
    EXPECT_EQ(SystemLocaleSource::nameOf(QLocale(QLocale::German, QLocale::Germany)),
              QStringLiteral("German (Germany)"));
}
