// Opening the configuration dialog from the store, and OK: the write order, the auto-answer
// switch against the writes, the reload.
#include "common/templatelength.h"
#include "config/generalconfiguration.h"
#include "configurationtestsupport.h"

TEST_F(ConfigurationTest, OkWritesEveryControlInOrderAsItStandsThenReloads)
{
    put("Language=English");
    sessionOpenOn(1);
    const ConfigurationValues values{.MyFileName = QStringLiteral(" out.txt "),
                                     .MyExternalProgram = QStringLiteral("notify \"done\""),
                                     .mode = WorkingMode::Automatic,
                                     .AutoStart = true,
                                     .policy = FilePolicy::AppendFile,
                                     .BoxAsciiDataFormat = QStringLiteral("[Code]{ENTER}"),
                                     .BoxAsciiDataFormat2 = QStringLiteral("[Doc]"),
                                     .ComPort = QStringLiteral("Com12"),
                                     .BaudRate = QStringLiteral("38400"),
                                     .Language = QStringLiteral("Spanish"),
                                     .UseTermId = true,
                                     .KeepInTray = true};
    EXPECT_TRUE(core.configuration.save(values));
    EXPECT_EQ(calls(), QStringLiteral(
                           "write MyFileName= out.txt ,write MyExternalProgram=notify \"done\","
                           "write AutomaticMode=True,write InsertKeys=False,write ManualMode=False,"
                           "write AutoStart=1,write AutoClear=0,write IncrNumber=False,"
                           "write NewFile=False,write AppendFile=True,"
                           "write AsciiDataFormat=[Code]{ENTER},write AsciiDataFormat2=[Doc],"
                           "write ComPort=Com12,write BaudRate=38400,write Language=Spanish,"
                           "write UseTerminalId=1,write KeepInTray=1,write AutoAnswer=0,"
                           // the session moves from port 1 to port 12
                           "events,I_CloseCom 1,I_OpenCom 12 9600"));
    EXPECT_TRUE(core.state.settings.AutomaticMode);
    EXPECT_TRUE(core.state.settings.KeepInTray);
    EXPECT_EQ(core.state.settings.BodyTemplate, QStringLiteral("[Code]{ENTER}\r\n"));
    EXPECT_EQ(core.state.settings.ComPortNumber, 12);
    EXPECT_EQ(core.language.languageIndex(), 2);
}

namespace {

struct SwitchCase
{
    const char* name;
    const char* store;
    bool ticked;
    const char* expected; ///< from the last write of the controls on
};

class AutoAnswerSwitchTest : public ConfigurationTest,
                             public ::testing::WithParamInterface<SwitchCase>
{
};

const SwitchCase kSwitchCases[] = {
    {"UnchangedAbsentAndUnticked", "", false,
     "write UseTerminalId=0,write AutoAnswer=0,events,I_CloseCom 3,I_OpenCom 7 9600"},
    // 5 is on for the program, so the ticked box changes nothing.
    // Answering calls, the modem moves: auto-answer off on 3 and the port let go, 7 armed.
    {"UnchangedFiveAndTicked", "AutoAnswer=5", true,
     "write UseTerminalId=0,write AutoAnswer=1,IO_Write 3 9,IO_Close 3,IO_Open 7 9600,"
     "IO_dtr_control_enable 7,IO_Write 7 13"},
    {"TickedEndsTheSessionAndWaitsForCalls", "AutoAnswer=0", true,
     "write UseTerminalId=0,events,I_CloseCom 3,IO_Open 3 9600,IO_dtr_control_enable 3,"
     "IO_Write 3 13,write AutoAnswer=1,IO_Write 3 9,IO_Close 3,IO_Open 7 9600,"
     "IO_dtr_control_enable 7,IO_Write 7 13"},
    {"UntickedClosesTheRawPortAndOpensTheSession", "AutoAnswer=1", false,
     "write UseTerminalId=0,IO_Close 3,I_OpenCom 3 9600,write AutoAnswer=0,events,I_CloseCom 3,"
     "I_OpenCom 7 9600"},
};

INSTANTIATE_TEST_SUITE_P(Ok, AutoAnswerSwitchTest, ::testing::ValuesIn(kSwitchCases),
                         caseName<SwitchCase>);

} // namespace

TEST_P(AutoAnswerSwitchTest, RunsOnThePortInForceBeforeTheAutoAnswerWrite)
{
    const SwitchCase& c = GetParam();
    put("Language=English");
    put(c.store);
    sessionOpenOn(3);
    ConfigurationValues values = GeneralConfiguration::load(store);
    // The switch acts on port 3; the reading session or the modem then moves to port 7.
    values.ComPort = QStringLiteral("Com7");
    values.AutoAnswer = c.ticked;

    EXPECT_TRUE(core.configuration.save(values));
    EXPECT_EQ(calls().mid(calls().indexOf(QStringLiteral("write UseTerminalId"))),
              QString::fromLatin1(c.expected));
    EXPECT_EQ(core.state.settings.ComPortNumber, 7);
    EXPECT_EQ(core.state.settings.AutoAnswer, c.ticked);
}

TEST_F(ConfigurationTest, OkThatTheStoreRefusesNeitherSwitchesNorReloads)
{
    put("AutoAnswer=0");
    sessionOpenOn(3);
    store.refuse = true;
    ConfigurationValues values = GeneralConfiguration::load(store);
    values.AutoAnswer = true;

    EXPECT_FALSE(core.configuration.save(values));
    EXPECT_EQ(library.calls.size(), 16);
    EXPECT_EQ(library.calls.last(), QStringLiteral("write UseTerminalId=0"));
    EXPECT_EQ(core.state.settings.MyFileName, QString()) << "not reloaded";
}

TEST_F(ConfigurationTest, OkWithATemplateAboveTheLimitWritesNothingAndSaysWhich)
{
    ConfigurationValues values = GeneralConfiguration::load(store);
    values.BoxAsciiDataFormat2 = QString(kMaxTemplateLength + 1, QLatin1Char('['));
    library.calls.clear();

    EXPECT_FALSE(core.configuration.save(values));

    EXPECT_TRUE(library.calls.isEmpty()) << calls().toStdString();
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_TRUE(dialogs.messages().front().contains(
        QLatin1String("header template (setting AsciiDataFormat2) is 8,193 characters long, more "
                      "than the 8,192")));

    values.BoxAsciiDataFormat2 = QString(kMaxTemplateLength, QLatin1Char('['));
    EXPECT_TRUE(core.configuration.save(values));
    EXPECT_EQ(store.value(QStringLiteral("AsciiDataFormat2")), values.BoxAsciiDataFormat2);
}
