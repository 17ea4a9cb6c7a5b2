#include "common/appstate.h"
#include "common/documentview.h"
#include "common/memorysettingsstore.h"
#include "common/templatelength.h"
#include "config/configloader.h"
#include "config/localesource.h"
#include "fakecommlibrary.h"
#include "fakewindow.h"
#include "i18n/uilanguage.h"
#include "output/recordretrieval.h"
#include "recordingdialogs.h"

#include <gtest/gtest.h>

namespace {

class RecordRetrievalTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(store.write(QStringLiteral("Language"), QStringLiteral("English")));
    }
    void setTemplates(const QString& header, const QString& body)
    {
        ASSERT_TRUE(store.write(QStringLiteral("AsciiDataFormat2"), header));
        ASSERT_TRUE(store.write(QStringLiteral("AsciiDataFormat"), body));
    }
    QStringList readingCalls() const
    {
        QStringList calls;
        for (const QString& call : library.calls) {
            if (call.startsWith(QLatin1String("I_Read"))) {
                calls.append(call);
            }
        }
        return calls;
    }

    MemorySettingsStore store;
    SystemLocaleSource locale{QLocale(QLocale::English, QLocale::UnitedStates)};
    UiLanguage language;
    RecordingDialogs dialogs;
    ConfigLoader config{store, locale, language, dialogs};
    FakeCommLibrary library;
    AppState state;
    MemoryDocumentView view;
    FakeWindowControls window;
    RecordRetrieval retrieval{library, state, config, view, dialogs, language, window};
};

} // namespace

TEST_F(RecordRetrievalTest, WithoutHeaderTemplateOneEntriesCallReadsEverything)
{
    setTemplates(QString(), QStringLiteral("[Code]"));
    view.setText(QStringLiteral("old text"));
    library.scriptText(QStringLiteral("I_ReadEntries"), "5601\r\n5602\r\n");
    retrieval.readTerminalData();
    EXPECT_EQ(readingCalls(), QStringList{QStringLiteral("I_ReadEntries -1")});
    EXPECT_EQ(library.readTemplates, QList<QByteArray>{QByteArray("[Code]\r\n")});
    EXPECT_EQ(view.text(), QStringLiteral("5601\n5602\n"));
    EXPECT_TRUE(state.DataReceived);
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_EQ(dialogs.busyDepth, 0);
    EXPECT_EQ(dialogs.busyMaxDepth, 1);
}

TEST_F(RecordRetrievalTest, WithHeaderTemplateDocumentsAreReadInTurnUntilTheEnd)
{
    setTemplates(QStringLiteral("[Doc]"), QStringLiteral("[Code]"));
    library.scriptText(QStringLiteral("I_ReadHeader"), "  H1  ");
    library.scriptText(QStringLiteral("I_ReadEntries"), "E1\r\n");
    library.script(QStringLiteral("I_ReadHeader"), {0}); // nothing this time: the loop goes on
    library.script(QStringLiteral("I_ReadEntries"), {0});
    library.scriptText(QStringLiteral("I_ReadHeader"), "H3 ");
    library.scriptText(QStringLiteral("I_ReadEntries"), "E3 \r\n");
    library.script(QStringLiteral("I_ReadHeader"), {-3});
    retrieval.readTerminalData();
    EXPECT_EQ(readingCalls(),
              (QStringList{QStringLiteral("I_ReadHeader -1"), QStringLiteral("I_ReadEntries -1"),
                           QStringLiteral("I_ReadHeader -2"), QStringLiteral("I_ReadEntries -2"),
                           QStringLiteral("I_ReadHeader -3"), QStringLiteral("I_ReadEntries -3"),
                           QStringLiteral("I_ReadHeader -4")}));
    // Each header ends with a line break, and spaces at both ends of the view are trimmed.
    EXPECT_EQ(view.text(), QStringLiteral("H1  \nE1\nH3 \nE3 \n"));
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(RecordRetrievalTest, TemplatesOfTwoCharactersOrLessCountAsAbsent)
{
    setTemplates(QStringLiteral("AB"), QString());
    retrieval.readTerminalData();
    EXPECT_TRUE(readingCalls().isEmpty());
    EXPECT_FALSE(state.DataReceived);
    EXPECT_EQ(dialogs.busyDepth, 0);

    setTemplates(QStringLiteral("ABC"), QString());
    library.scriptText(QStringLiteral("I_ReadHeader"), "H");
    retrieval.readTerminalData();
    EXPECT_EQ(readingCalls(),
              (QStringList{QStringLiteral("I_ReadHeader -1"), QStringLiteral("I_ReadHeader -2")}));
}

TEST_F(RecordRetrievalTest, FailuresStopWithOneMessageAndKeepWhatWasRead)
{
    struct Case
    {
        std::int32_t failure;
        const char* message;
    };
    const Case cases[] = {{-1, "Communication Error"},
                          {-2, "Please place the terminal on the craddle"}};
    for (const Case& c : cases) {
        FakeCommLibrary lib;
        RecordingDialogs shown;
        MemoryDocumentView doc;
        AppState st;
        RecordRetrieval reader{lib, st, config, doc, shown, language};
        setTemplates(QStringLiteral("[Doc]"), QStringLiteral("[Code]"));
        lib.scriptText(QStringLiteral("I_ReadHeader"), "H1");
        lib.scriptText(QStringLiteral("I_ReadEntries"), "E1\r\n");
        lib.script(QStringLiteral("I_ReadHeader"), {c.failure});
        reader.readTerminalData();
        EXPECT_EQ(doc.text(), QStringLiteral("H1\nE1\n"));
        EXPECT_TRUE(st.DataReceived);
        EXPECT_EQ(shown.messages(), QStringList{QString::fromLatin1(c.message)});
        EXPECT_EQ(lib.calls.size(),
                  5); // header and its text, entries and their text, failing header
    }
}

TEST_F(RecordRetrievalTest, NoTerminalOnTheFirstCallLeavesTheViewEmptyAndTheFlagAsItWas)
{
    setTemplates(QString(), QStringLiteral("[Code]"));
    library.script(QStringLiteral("I_ReadEntries"), {-2});
    view.setText(QStringLiteral("previous"));
    retrieval.readTerminalData();
    EXPECT_TRUE(view.text().isEmpty());
    EXPECT_FALSE(state.DataReceived);
    EXPECT_EQ(dialogs.messages(),
              QStringList{QStringLiteral("Please place the terminal on the craddle")});
    EXPECT_EQ(dialogs.busyDepth, 0);
}

TEST_F(RecordRetrievalTest, TextCrossesTheLibraryAsWindows1252)
{
    setTemplates(QString(), QStringLiteral("[Caf\u00e9]"));
    library.scriptText(QStringLiteral("I_ReadEntries"), "Caf\xe9 \x80\r\n");
    retrieval.readTerminalData();
    EXPECT_EQ(library.readTemplates.front(), QByteArray("[Caf\xe9]\r\n"));
    EXPECT_EQ(view.text(), QStringLiteral("Caf\u00e9 \u20ac\n"));
}

TEST_F(RecordRetrievalTest, SettingsAreReloadedBeforeReading)
{
    setTemplates(QString(), QStringLiteral("[A]"));
    retrieval.readTerminalData();
    setTemplates(QString(), QStringLiteral("[B]"));
    retrieval.readTerminalData();
    EXPECT_EQ(library.readTemplates.back(), QByteArray("[B]\r\n"));
}

TEST_F(RecordRetrievalTest, OnlyAReadingThatEndsNormallyWithEveryTemplateIsComplete)
{
    // Two documents are read, then the third header call answers.
    const std::pair<std::int32_t, ReadingEnd> cases[] = {
        {CommLibrary::kNothingMore, ReadingEnd::Complete},
        {CommLibrary::kCommError, ReadingEnd::Interrupted},
        {CommLibrary::kNoTerminal, ReadingEnd::Interrupted},
    };
    setTemplates(QStringLiteral("Doc [Doc]"), QStringLiteral("[Code]"));
    for (const auto& [third, end] : cases) {
        SCOPED_TRACE(third);
        FakeCommLibrary terminal;
        for (int document = 1; document <= 2; ++document) {
            terminal.scriptText(QStringLiteral("I_ReadHeader"), "Doc");
            terminal.scriptText(QStringLiteral("I_ReadEntries"), "5601\r\n");
        }
        terminal.script(QStringLiteral("I_ReadHeader"), {third});
        RecordRetrieval(terminal, state, config, view, dialogs, language).readTerminalData();
        EXPECT_TRUE(state.DataReceived);
        EXPECT_EQ(state.LastReading, end);
        EXPECT_EQ(state.DocumentsRead, 2);
    }
    // Headers without a body template: the entries were never asked for.
    setTemplates(QStringLiteral("Doc [Doc]"), QString());
    library.scriptText(QStringLiteral("I_ReadHeader"), "Doc");
    retrieval.readTerminalData();
    EXPECT_EQ(readingCalls(),
              (QStringList{QStringLiteral("I_ReadHeader -1"), QStringLiteral("I_ReadHeader -2")}));
    EXPECT_EQ(state.LastReading, ReadingEnd::TemplateMissing);
}

TEST_F(RecordRetrievalTest, ATemplateAboveTheLimitIsRefusedBeforeTheTerminalIsAsked)
{
    const QString longest(kMaxTemplateLength, QLatin1Char('x'));
    const QString tooLong = longest + QLatin1Char('x');
    struct Case
    {
        QString header, body;
        const char* setting; // the one refused; none when both are used
    };
    const Case cases[] = {
        {longest, longest, nullptr},
        {QStringLiteral("[Doc]"), tooLong, "body template (setting AsciiDataFormat)"},
        {tooLong, QStringLiteral("[Code]"), "header template (setting AsciiDataFormat2)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.setting ? c.setting : "within the limit");
        setTemplates(c.header, c.body);
        library.calls.clear();
        dialogs.shown.clear();
        state.DataReceived = true;
        library.script(QStringLiteral("I_ReadHeader"), {-3});

        retrieval.readTerminalData();

        if (c.setting == nullptr) {
            EXPECT_FALSE(readingCalls().isEmpty());
            EXPECT_TRUE(dialogs.shown.isEmpty());
            continue;
        }
        EXPECT_TRUE(readingCalls().isEmpty());
        EXPECT_FALSE(state.DataReceived);
        ASSERT_EQ(dialogs.messages().size(), 1);
        const QString message = dialogs.messages().front();
        for (const char* part : {c.setting, "8,193 characters", "8,192", "not read"}) {
            EXPECT_TRUE(message.contains(QLatin1String(part))) << message.toStdString();
        }
    }
}
