// Port detection and template import against the scripted library.
#include "config/terminaldetection.h"
#include "configurationtestsupport.h"

namespace {

QStringList portTried(int port, int speed)
{
    return {
        QStringLiteral("events"),          QStringLiteral("I_OpenCom %1 %2").arg(port).arg(speed),
        QStringLiteral("events"),          QStringLiteral("VORLAK_Sleep 8000"),
        QStringLiteral("I_CheckTerminal"), QStringLiteral("I_CloseCom %1").arg(port)};
}

class PortDetectionTest : public ConfigurationTest
{
protected:
    PortDetection::Result detect(const QString& comPortText, const QString& baudRateText)
    {
        PortDetection detection(context());
        return detection.Command5_Click(comPortText, baudRateText,
                                        [this](const QString& text) { shown.append(text); });
    }
    QStringList shown;
};

} // namespace

TEST_F(PortDetectionTest, TerminalOnPortThreeIsFoundAndTheSessionReopensThere)
{
    sessionOpenOn(1);
    library.script(QStringLiteral("I_CheckTerminal"), {0, 0, 1});
    const PortDetection::Result result = detect(QStringLiteral("Com1"), QStringLiteral("19200"));

    QStringList expected{QStringLiteral("events"), QStringLiteral("I_CloseCom 1")};
    expected << portTried(1, 19200) << portTried(2, 19200) << portTried(3, 19200)
             << QStringLiteral("I_OpenCom 3 9600");
    EXPECT_EQ(library.calls, expected);
    EXPECT_EQ(shown, (QStringList{QStringLiteral("Com1"), QStringLiteral("Com2"),
                                  QStringLiteral("Com3")}));
    EXPECT_EQ(result.port, 3);
    EXPECT_EQ(result.comPortText, QStringLiteral("Com3"));
    EXPECT_EQ(core.state.settings.ComPortNumber, 3);
    EXPECT_TRUE(core.state.PortOpen);
    EXPECT_TRUE(window.timerOn);
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_EQ(dialogs.busyDepth, 0);
    EXPECT_EQ(dialogs.busyMaxDepth, 1);
}

TEST_F(PortDetectionTest, NoPortOpensThenThePortFromBeforeComesBackWithAMessage)
{
    sessionOpenOn(2);
    // Sixteen ports and the closing probe fail; the session then reopens.
    library.script(QStringLiteral("I_OpenCom"),
                   {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1});
    const PortDetection::Result result = detect(QStringLiteral("Com2"), QStringLiteral("38400"));

    QStringList expected{QStringLiteral("events"), QStringLiteral("I_CloseCom 2")};
    QStringList ports;
    for (int port = 1; port <= 16; ++port) {
        expected << QStringLiteral("events") << QStringLiteral("I_OpenCom %1 38400").arg(port);
        ports << QStringLiteral("Com%1").arg(port);
    }
    expected << QStringLiteral("I_OpenCom 1 38400") << QStringLiteral("I_CloseCom 1")
             << QStringLiteral("I_OpenCom 2 9600");
    EXPECT_EQ(library.calls, expected);
    EXPECT_EQ(shown, ports << QStringLiteral("Com2"));
    EXPECT_FALSE(result.port.has_value());
    EXPECT_EQ(result.comPortText, QStringLiteral("Com2"));
    EXPECT_EQ(core.state.settings.ComPortNumber, 2);
    EXPECT_TRUE(core.state.PortOpen);
    EXPECT_TRUE(window.timerOn);
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_TRUE(dialogs.messages().front().startsWith(
        QStringLiteral("No terminal answered on ports 1 to 16.")));
    EXPECT_TRUE(dialogs.messages().front().contains(QStringLiteral("port 2")));
    EXPECT_EQ(dialogs.busyDepth, 0);
}

TEST_F(PortDetectionTest, PortsThatOpenWithoutTerminalAreEachWaitedOnOnce)
{
    // Session closed before: ending it does nothing; the typed box text comes back.
    core.state.settings.ComPortNumber = 4;
    core.state.settings.BaudRate9600 = kBaudRate9600;
    const PortDetection::Result result = detect(QStringLiteral("Com4"), QStringLiteral("9600"));
    EXPECT_EQ(library.calls.count(QStringLiteral("VORLAK_Sleep 8000")), 16);
    EXPECT_EQ(library.calls.count(QStringLiteral("I_CheckTerminal")), 16);
    EXPECT_EQ(library.calls.last(), QStringLiteral("I_OpenCom 4 9600"));
    EXPECT_EQ(result.comPortText, QStringLiteral("Com4"));
    EXPECT_EQ(dialogs.messages().size(), 1);
}

TEST(PortDetectionSpeed, ComesFromTheLineSpeedText)
{
    const std::pair<const char*, std::int32_t> cases[] = {
        {"19200", 19200}, {" 115200", 115200}, {"9600 baud", 9600}, {"", 0},
        {"fast", 0},      {"-9600", 0},        {"1e12", 0},         {"38400.4", 38400},
    };
    for (const auto& [text, speed] : cases) {
        EXPECT_EQ(PortDetection::probeSpeed(QString::fromLatin1(text)), speed) << text;
    }
}

namespace {

struct ImportCase
{
    const char* name;
    TemplateImport::Kind kind;
    std::int32_t checkResult;
    QByteArray terminalTemplate; ///< what the library writes into the buffer
    std::int32_t readResult;
    std::optional<QString> expected;
    QStringList calls;
};

class TemplateImportTest : public ConfigurationTest,
                           public ::testing::WithParamInterface<ImportCase>
{
};

const ImportCase kImportCases[] = {
    {"BodyPaddedWithSpaces",
     TemplateImport::Kind::Body,
     1,
     "  ABC  ",
     1,
     QStringLiteral("ABC"),
     {QStringLiteral("I_CheckTerminal"), QStringLiteral("I_ReadEntriesConfig")}},
    {"BodyInWindows1252",
     TemplateImport::Kind::Body,
     1,
     "[Caf\xe9][XX]",
     7,
     QStringLiteral("[Caf\u00e9][XX]"),
     {QStringLiteral("I_CheckTerminal"), QStringLiteral("I_ReadEntriesConfig")}},
    {"HeaderAnsweredZeroEmptiesTheBox",
     TemplateImport::Kind::Header,
     1,
     "[Doc]",
     0,
     QString(),
     {QStringLiteral("I_CheckTerminal"), QStringLiteral("I_ReadHeadersConfig")}},
    {"HeaderCommunicationError",
     TemplateImport::Kind::Header,
     1,
     "",
     -1,
     QString(),
     {QStringLiteral("I_CheckTerminal"), QStringLiteral("I_ReadHeadersConfig")}},
    {"NoTerminalLeavesTheBox",
     TemplateImport::Kind::Body,
     0,
     "ABC",
     1,
     std::nullopt,
     {QStringLiteral("I_CheckTerminal")}},
};

INSTANTIATE_TEST_SUITE_P(Import, TemplateImportTest, ::testing::ValuesIn(kImportCases),
                         caseName<ImportCase>);

} // namespace

TEST_P(TemplateImportTest, GivesTheBoxText)
{
    const ImportCase& c = GetParam();
    library.identity = "T7";
    library.script(QStringLiteral("I_CheckTerminal"), {c.checkResult});
    const bool body = c.kind == TemplateImport::Kind::Body;
    const QString function =
        body ? QStringLiteral("I_ReadEntriesConfig") : QStringLiteral("I_ReadHeadersConfig");
    library.script(function, {c.readResult});
    (body ? library.entriesTemplate : library.headersTemplate) = c.terminalTemplate;

    TemplateImport import(context());
    const std::optional<QString> text = import.importTemplate(c.kind);
    EXPECT_EQ(text, c.expected);
    EXPECT_EQ(library.calls, c.calls);
    EXPECT_EQ(core.state.TerminalId, QByteArray("T7      ")) << "the library's identity is kept";
    EXPECT_TRUE(dialogs.shown.isEmpty());
}
