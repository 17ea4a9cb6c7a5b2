#include "acquisition/portdetection.h"
#include "acquisition/templateimport.h"
#include "programcoreparts.h"

#include <gtest/gtest.h>

namespace {

class TerminalQuestionsTest : public ::testing::Test, public FakeProgramCore
{
protected:
    void SetUp() override
    {
        core.state.settings.ComPortNumber = 2;
        core.state.settings.BaudRate9600 = kBaudRate9600;
        core.state.PortOpen = true;
    }
    PortDetection::Result detect()
    {
        return core.detection.detect(QStringLiteral("Com2"), QStringLiteral("38400"),
                                     [this](const QString& text) { shown.append(text); });
    }
    QStringList shown;
};

} // namespace

TEST(PortDetectionTest, ProbeSpeedIsTheLeadingNumberWhenItIsALineSpeed)
{
    const std::pair<const char*, std::int32_t> cases[] = {
        {"19200", 19200},  {" 9600 baud", 9600}, {"38400.6", 38401}, {"", 0},
        {"fast", 0},       {"-9600", 0},         {"1e12", 0},        {"2147483647", 2147483647},
        {"2147483648", 0},
    };
    for (const auto& [text, speed] : cases) {
        EXPECT_EQ(PortDetection::probeSpeed(QString::fromLatin1(text)), speed) << text;
    }
    EXPECT_EQ(PortDetection::portText(16), QStringLiteral("Com16"));
}

TEST_F(TerminalQuestionsTest, DetectionStopsAtTheFirstAnsweringPortAndReadsThere)
{
    library.script(QStringLiteral("I_OpenCom"), {-1, 0, 0});
    library.script(QStringLiteral("I_CheckTerminal"), {0, 1});
    const PortDetection::Result result = detect();
    EXPECT_EQ(result.port, 3);
    EXPECT_EQ(result.comPortText, QStringLiteral("Com3"));
    EXPECT_EQ(shown, (QStringList{QStringLiteral("Com1"), QStringLiteral("Com2"),
                                  QStringLiteral("Com3")}));
    EXPECT_EQ(core.state.settings.ComPortNumber, 3);
    EXPECT_EQ(library.calls.last(), QStringLiteral("I_OpenCom 3 9600")) << "the session reopens";
    EXPECT_EQ(dialogs.busyDepth, 0);
}

TEST_F(TerminalQuestionsTest, DetectionWithoutAnswerKeepsThePortFromBefore)
{
    const PortDetection::Result result = detect();
    EXPECT_EQ(result.port, std::nullopt);
    EXPECT_EQ(result.comPortText, QStringLiteral("Com2"));
    EXPECT_EQ(shown.size(), PortDetection::kLastPort + 1);
    EXPECT_EQ(shown.last(), QStringLiteral("Com2"));
    EXPECT_EQ(core.state.settings.ComPortNumber, 2);
    EXPECT_EQ(library.calls.filter(QStringLiteral("VORLAK_Sleep 8000")).size(),
              PortDetection::kLastPort);
    EXPECT_EQ(library.calls.last(), QStringLiteral("I_OpenCom 2 9600"));
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_TRUE(dialogs.messages().front().contains(QStringLiteral("on port 2, as before")));
}

TEST_F(TerminalQuestionsTest, TemplateImportTakesTheTerminalsTemplateOrLeavesTheBox)
{
    struct Case
    {
        TemplateImport::Kind kind;
        std::int32_t check, read;
        QByteArray onTerminal;
        std::optional<QString> expected;
    } cases[] = {
        {TemplateImport::Kind::Body, 1, 1, "  [Code];[Qty]  ", QStringLiteral("[Code];[Qty]")},
        {TemplateImport::Kind::Header, 1, 1, "[Doc]", QStringLiteral("[Doc]")},
        {TemplateImport::Kind::Body, 1, -1, "[Code]", QString()},
        {TemplateImport::Kind::Header, 0, 1, "[Doc]", std::nullopt},
    };
    for (const Case& c : cases) {
        library.script(QStringLiteral("I_CheckTerminal"), {c.check});
        const bool body = c.kind == TemplateImport::Kind::Body;
        library.script(body ? QStringLiteral("I_ReadEntriesConfig")
                            : QStringLiteral("I_ReadHeadersConfig"),
                       {c.read});
        (body ? library.entriesTemplate : library.headersTemplate) = c.onTerminal;
        EXPECT_EQ(core.templateImport.importTemplate(c.kind), c.expected) << c.onTerminal.data();
        EXPECT_EQ(dialogs.busyDepth, 0);
    }
    EXPECT_TRUE(store.entries().isEmpty()) << "an import writes nothing to the store";
}
