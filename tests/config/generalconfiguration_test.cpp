// Opening the configuration dialog from the store, and OK: the write order, the auto-answer
// switch against the writes, the reload.
#include "config/generalconfiguration.h"
#include "configurationtestsupport.h"

#include <optional>
#include <utility>
#include <vector>

namespace {

using Entries = std::vector<std::pair<const char*, const char*>>;

struct LoadCase
{
    const char* name;
    Entries store;
    WorkingMode mode;
    FilePolicy policy;
    bool autoStart;
    bool autoClear;
    bool useTermId;
};

class LoadTest : public ConfigurationTest, public ::testing::WithParamInterface<LoadCase>
{
};

const LoadCase kLoadCases[] = {
    {"EmptyStore", {}, WorkingMode::Manual, FilePolicy::NewFile, false, false, false},
    // As OK writes keyboard mode: exactly one option true.
    {"KeyboardModeAsWritten",
     {{"AutomaticMode", "False"}, {"InsertKeys", "True"}, {"ManualMode", "False"}},
     WorkingMode::InsertKeys,
     FilePolicy::NewFile,
     false,
     false,
     false},
    // Several options marked: the one set last (automatic, keyboard, manual) stays selected.
    {"LastMarkedOptionWins",
     {{"AutomaticMode", "true"},
      {"InsertKeys", "-1"},
      {"ManualMode", "0"},
      {"IncrNumber", "1"},
      {"NewFile", "False"},
      {"AppendFile", "TRUE"}},
     WorkingMode::InsertKeys,
     FilePolicy::AppendFile,
     false,
     false,
     false},
    // Only keyboard mode stored: the manual default comes after it and wins.
    {"ManualDefaultComesLast",
     {{"InsertKeys", "True"}},
     WorkingMode::Manual,
     FilePolicy::NewFile,
     false,
     false,
     false},
    // Texts that are no state show nothing selected; the settings load reports them.
    {"UnreadableValuesShowUnselected",
     {{"AutomaticMode", "yes"},
      {"ManualMode", "maybe"},
      {"NewFile", ""},
      {"AutoStart", "70000"},
      {"AutoClear", "1abc"},
      {"UseTerminalId", "5"}},
     WorkingMode::None,
     FilePolicy::None,
     false,
     true,
     true},
};

INSTANTIATE_TEST_SUITE_P(Opening, LoadTest, ::testing::ValuesIn(kLoadCases), caseName<LoadCase>);

} // namespace

TEST_P(LoadTest, FillsTheControls)
{
    const LoadCase& c = GetParam();
    for (const auto& [key, value] : c.store) {
        put(key, value);
    }
    const ConfigurationValues values = GeneralConfiguration::load(store);
    EXPECT_EQ(values.mode, c.mode);
    EXPECT_EQ(values.policy, c.policy);
    EXPECT_EQ(values.AutoStart, c.autoStart);
    EXPECT_EQ(values.AutoClear, c.autoClear);
    EXPECT_EQ(values.UseTermId, c.useTermId);
    EXPECT_FALSE(values.AutoAnswer);
}

TEST_F(ConfigurationTest, EmptyStoreGivesTheDefaultTexts)
{
    const ConfigurationValues values = GeneralConfiguration::load(store);
    EXPECT_EQ(values.MyFileName, QStringLiteral("Demo.txt"));
    EXPECT_EQ(values.MyExternalProgram, QString());
    EXPECT_EQ(values.BoxAsciiDataFormat, QString());
    EXPECT_EQ(values.BoxAsciiDataFormat2, QString());
    EXPECT_EQ(values.ComPort, QStringLiteral("Com1"));
    EXPECT_EQ(values.BaudRate, QStringLiteral("19200"));
    EXPECT_EQ(values.Language, QStringLiteral("Portugues"));
    EXPECT_TRUE(library.calls.isEmpty()) << "opening writes nothing";
}

TEST_F(ConfigurationTest, OkWritesEveryControlInOrderAsItStandsAndReloads)
{
    put("Language", "English");
    sessionOpenOn(1);
    GeneralConfiguration model(context());
    ConfigurationValues values;
    values.MyFileName = QStringLiteral(" out.txt ");
    values.MyExternalProgram = QStringLiteral("notify \"done\"");
    values.mode = WorkingMode::Automatic;
    values.AutoStart = true;
    values.policy = FilePolicy::AppendFile;
    values.BoxAsciiDataFormat = QStringLiteral("[Code]{ENTER}");
    values.BoxAsciiDataFormat2 = QStringLiteral("[Doc]");
    values.ComPort = QStringLiteral("Com12");
    values.BaudRate = QStringLiteral("38400");
    values.Language = QStringLiteral("Spanish");
    values.UseTermId = true;

    EXPECT_TRUE(model.Command2_Click(values));
    EXPECT_EQ(library.calls, (QStringList{
                                 QStringLiteral("write MyFileName= out.txt "),
                                 QStringLiteral("write MyExternalProgram=notify \"done\""),
                                 QStringLiteral("write AutomaticMode=True"),
                                 QStringLiteral("write InsertKeys=False"),
                                 QStringLiteral("write ManualMode=False"),
                                 QStringLiteral("write AutoStart=1"),
                                 QStringLiteral("write AutoClear=0"),
                                 QStringLiteral("write IncrNumber=False"),
                                 QStringLiteral("write NewFile=False"),
                                 QStringLiteral("write AppendFile=True"),
                                 QStringLiteral("write AsciiDataFormat=[Code]{ENTER}"),
                                 QStringLiteral("write AsciiDataFormat2=[Doc]"),
                                 QStringLiteral("write ComPort=Com12"),
                                 QStringLiteral("write BaudRate=38400"),
                                 QStringLiteral("write Language=Spanish"),
                                 QStringLiteral("write UseTerminalId=1"),
                                 QStringLiteral("write AutoAnswer=0"),
                             }));
    const Settings& settings = core.state.settings;
    EXPECT_EQ(settings.MyFileName, QStringLiteral(" out.txt "));
    EXPECT_TRUE(settings.AutomaticMode);
    EXPECT_FALSE(settings.ManualMode);
    EXPECT_EQ(settings.BodyTemplate, QStringLiteral("[Code]{ENTER}\r\n"));
    EXPECT_EQ(settings.ComPortNumber, 12);
    EXPECT_EQ(core.language.LanguageIndex(), 2);
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

namespace {

struct SwitchCase
{
    const char* name;
    const char* storedAutoAnswer; ///< nullptr: absent
    bool ticked;
    QStringList expected; ///< from the last key of step 1 to the AutoAnswer write
};

class AutoAnswerSwitchTest : public ConfigurationTest,
                             public ::testing::WithParamInterface<SwitchCase>
{
};

const SwitchCase kSwitchCases[] = {
    {"UnchangedAbsentAndUnticked",
     nullptr,
     false,
     {QStringLiteral("write UseTerminalId=0"), QStringLiteral("write AutoAnswer=0")}},
    // 5 is on for the program, so the ticked box changes nothing.
    {"UnchangedFiveAndTicked",
     "5",
     true,
     {QStringLiteral("write UseTerminalId=0"), QStringLiteral("write AutoAnswer=1")}},
    {"TickedEndsTheSessionAndWaitsForCalls",
     "0",
     true,
     {QStringLiteral("write UseTerminalId=0"), QStringLiteral("events"),
      QStringLiteral("I_CloseCom 3"), QStringLiteral("IO_Open 3 9600"),
      QStringLiteral("IO_dtr_control_enable 3"), QStringLiteral("IO_Write 3 13"),
      QStringLiteral("write AutoAnswer=1")}},
    {"UntickedClosesTheRawPortAndOpensTheSession",
     "1",
     false,
     {QStringLiteral("write UseTerminalId=0"), QStringLiteral("IO_Close 3"),
      QStringLiteral("I_OpenCom 3 9600"), QStringLiteral("write AutoAnswer=0")}},
};

INSTANTIATE_TEST_SUITE_P(Ok, AutoAnswerSwitchTest, ::testing::ValuesIn(kSwitchCases),
                         caseName<SwitchCase>);

} // namespace

TEST_P(AutoAnswerSwitchTest, RunsOnThePortInForceBeforeTheWrite)
{
    const SwitchCase& c = GetParam();
    put("Language", "English");
    if (c.storedAutoAnswer != nullptr) {
        put("AutoAnswer", c.storedAutoAnswer);
    }
    sessionOpenOn(3);
    GeneralConfiguration model(context());
    ConfigurationValues values = GeneralConfiguration::load(store);
    values.ComPort = QStringLiteral("Com7"); // takes effect only through the reload
    values.AutoAnswer = c.ticked;

    EXPECT_TRUE(model.Command2_Click(values));
    const qsizetype from = library.calls.indexOf(QStringLiteral("write UseTerminalId=0"));
    ASSERT_GE(from, 0);
    EXPECT_EQ(library.calls.mid(from), c.expected);
    EXPECT_EQ(core.state.settings.ComPortNumber, 7);
    EXPECT_EQ(core.state.settings.AutoAnswer, c.ticked);
}

TEST_F(ConfigurationTest, OkThatTheStoreRefusesSwitchesAndReloadsNothing)
{
    put("AutoAnswer", "0");
    sessionOpenOn(3);
    store.refuse = true;
    GeneralConfiguration model(context());
    ConfigurationValues values = GeneralConfiguration::load(store);
    values.AutoAnswer = true;
    values.MyFileName = QStringLiteral("new.txt");

    EXPECT_FALSE(model.Command2_Click(values));
    // The sixteen keys of the controls were tried; neither the switch nor the auto-answer write
    // followed.
    EXPECT_EQ(library.calls.size(), 16);
    EXPECT_EQ(library.calls.last(), QStringLiteral("write UseTerminalId=0"));
    EXPECT_EQ(core.state.settings.MyFileName, QString()) << "no reload";
    EXPECT_TRUE(core.state.PortOpen);
}
