#include "common/appstate.h"
#include "common/documentview.h"
#include "common/memorysettingsstore.h"
#include "common/templatelength.h"
#include "common/textutil.h"
#include "config/configloader.h"
#include "config/localesource.h"
#include "fakecommlibrary.h"
#include "fakewindow.h"
#include "i18n/uilanguage.h"
#include "output/readingprogress.h"
#include "output/recordretrieval.h"
#include "recordingdialogs.h"

#include <functional>
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
        RecordRetrieval reader{lib, st, config, doc, shown, language, window};
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

TEST_F(RecordRetrievalTest, KeyboardModeMarksTheValuesAndShowsThemAsLiteralNotation)
{
    ASSERT_TRUE(store.write(QStringLiteral("InsertKeys"), QStringLiteral("True")));
    setTemplates(QStringLiteral("Doc [Doc]{TAB}"), QStringLiteral("[Code]{TAB}[Qty][XX]~"));
    library.scriptText(QStringLiteral("I_ReadHeader"), "Doc \x0e"
                                                       "5%\x0f{TAB}");
    library.scriptText(QStringLiteral("I_ReadEntries"), "\x0e"
                                                        "A+(\xe9)\x0f{TAB}\x0e"
                                                        "1 \x0f~\r\n");
    library.script(QStringLiteral("I_ReadHeader"), {-3});
    retrieval.readTerminalData();
    EXPECT_EQ(
        library.readTemplates.mid(0, 2),
        (QList<QByteArray>{"Doc \x0e[Doc]\x0f{TAB}", "\x0e[Code]\x0f{TAB}\x0e[Qty][XX]\x0f~\r\n"}));
    EXPECT_EQ(view.text(), QStringLiteral("Doc 5{%}{TAB}\nA{+}{(}\u00e9{)}{TAB}1 ~\n"));
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
        RecordRetrieval(terminal, state, config, view, dialogs, language, window)
            .readTerminalData();
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
    // The limit is the user's: in keyboard mode the library gets the template with two markers
    // more per field group, longer than the limit, and still reads.
    QString groups = QStringLiteral("[A]").repeated(kMaxTemplateLength / 3);
    groups += QString(kMaxTemplateLength - groups.size(), QLatin1Char('x'));
    ASSERT_TRUE(store.write(QStringLiteral("InsertKeys"), QStringLiteral("True")));
    const Case cases[] = {
        {longest, longest, nullptr},
        {groups, groups, nullptr},
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
            EXPECT_EQ(library.readTemplates.back().size(),
                      c.header.size() + 2 * c.header.count(QLatin1Char('[')));
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

TEST_F(RecordRetrievalTest, TheTextIsWhatAddingEveryPieceToTheViewMadeIt)
{
    // The view used to be set to its own text plus each piece (header pieces plus LF CR, then
    // trimmed of spaces): line breaks were made one kind piece by piece, so a CR ending one
    // piece and an LF opening the next are two breaks, an LF CR across pieces one.
    struct Case
    {
        const char* name;
        std::vector<std::pair<bool, QByteArray>> pieces; // header?, text
    };
    const Case cases[] = {
        {"CR at a piece's end, LF at the next one's start",
         {{true, "H1\r"}, {false, "\nE1\r"}, {true, "\nH2"}, {false, "E2\r\n"}}},
        {"CR opening the entries after the header's LF CR", {{true, "H1"}, {false, "\r\rE1"}}},
        {"spaces and no-break spaces before the first header",
         {{true, " \xA0 H1 "}, {false, "  E1  \n"}, {true, "  H2"}, {false, "E2"}}},
        {"entries with leading spaces before a header that returned nothing",
         {{true, ""}, {false, "   E1\n\r\n"}, {true, "H2\r"}, {false, "\n\rE2 "}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeCommLibrary lib;
        MemoryDocumentView doc;
        AppState st;
        RecordRetrieval reader{lib, st, config, doc, dialogs, language, window};
        setTemplates(QStringLiteral("[Doc]"), QStringLiteral("[Code]"));
        MemoryDocumentView expected;
        for (const auto& [isHeader, text] : c.pieces) {
            const QString function =
                isHeader ? QStringLiteral("I_ReadHeader") : QStringLiteral("I_ReadEntries");
            if (text.isEmpty()) {
                lib.script(function, {0});
                continue;
            }
            lib.scriptText(function, text);
            // What the window shows: a no-break space reads back as a space.
            QString piece = QString::fromLatin1(text);
            piece.replace(QChar::Nbsp, QLatin1Char(' '));
            if (isHeader) {
                expected.setText(expected.text() + piece + QStringLiteral("\n\r"));
                expected.setText(trimSpaces(expected.text()));
            } else {
                expected.setText(expected.text() + piece);
            }
        }
        lib.script(QStringLiteral("I_ReadHeader"), {-3});
        reader.readTerminalData();
        QString shown = doc.text();
        shown.replace(QChar::Nbsp, QLatin1Char(' '));
        EXPECT_EQ(shown, expected.text());
    }
}

namespace {

/// Window controls that keep every progress text and can stop the reading at one of them.
class ProgressWindow : public FakeWindowControls
{
public:
    void showReadingProgress(const QString& text) override
    {
        shown.append(text);
        if (onProgress) {
            onProgress(text);
        }
    }
    void endReadingProgress() override { ++ended; }

    QStringList shown;
    int ended = 0;
    std::function<void(const QString&)> onProgress;
};

class ReadingProgressTest : public RecordRetrievalTest
{
protected:
    ProgressWindow progressWindow;
    RecordRetrieval watched{library, state, config, view, dialogs, language, progressWindow};
};

} // namespace

TEST_F(ReadingProgressTest, CountsGrowPerDocumentWithALibraryThatDoesNotCountAndPanelOneReturns)
{
    setTemplates(QStringLiteral("[Doc]"), QStringLiteral("[Code]"));
    for (const char* entries : {"E1\r\nE2\r\n", "E3\r\n"}) {
        library.scriptText(QStringLiteral("I_ReadHeader"), "H");
        library.scriptText(QStringLiteral("I_ReadEntries"), entries);
    }
    progressWindow.panel1 = QStringLiteral("/data/last.txt");
    watched.readTerminalData();
    EXPECT_EQ(progressWindow.shown,
              (QStringList{QStringLiteral("Reading: 0 documents, 0 records"),
                           QStringLiteral("Reading: 1 documents, 1 records"),
                           QStringLiteral("Reading: 1 documents, 3 records"),
                           QStringLiteral("Reading: 2 documents, 4 records"),
                           QStringLiteral("Reading: 2 documents, 5 records")}));
    EXPECT_EQ(progressWindow.ended, 1);
    EXPECT_EQ(progressWindow.panel1, QStringLiteral("/data/last.txt"));
    EXPECT_EQ(state.LastReading, ReadingEnd::Complete);
    EXPECT_FALSE(state.ReadingStopped);
}

TEST_F(ReadingProgressTest, StopEndsTheReadingBeforeTheNextDocumentAsInterrupted)
{
    setTemplates(QStringLiteral("[Doc]"), QStringLiteral("[Code]"));
    for (int document = 0; document < 3; ++document) {
        library.scriptText(QStringLiteral("I_ReadHeader"), "H");
        library.scriptText(QStringLiteral("I_ReadEntries"), "E\r\n");
    }
    // Asked for during the first document's entries call, as the Stop button would be.
    progressWindow.onProgress = [this](const QString& text) {
        if (text == QStringLiteral("Reading: 1 documents, 2 records")) {
            watched.requestStop();
        }
    };
    watched.readTerminalData();
    EXPECT_EQ(readingCalls(),
              (QStringList{QStringLiteral("I_ReadHeader -1"), QStringLiteral("I_ReadEntries -1")}));
    EXPECT_EQ(state.LastReading, ReadingEnd::Interrupted);
    EXPECT_TRUE(state.ReadingStopped);
    EXPECT_TRUE(state.DataReceived);
    EXPECT_FALSE(watched.reading());

    // The next reading is not stopped by the stop of the last one.
    progressWindow.onProgress = nullptr;
    library.scriptText(QStringLiteral("I_ReadHeader"), "H");
    watched.readTerminalData();
    EXPECT_EQ(state.LastReading, ReadingEnd::Complete);
    EXPECT_FALSE(state.ReadingStopped);
}

TEST(ReadingProgressText, NumbersAreGroupedAsTheLanguageWritesThem)
{
    const struct
    {
        int language;
        const char* expected;
    } cases[] = {
        {0, "Reading: 3 documents, 1,234,567 records"},
        {1, "Reading: 3 documents, 1.234.567 records"},
        {2, "Reading: 3 documents, 1.234.567 records"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(readingProgressText(c.language, 3, 1234567), QString::fromLatin1(c.expected))
            << c.language;
    }
    EXPECT_EQ(estimatedRecordCount(QStringLiteral("a\r\nb\r\nc\r\nd\r\n"),
                                   QStringLiteral("[A]\r\n[B]\r\n")),
              2);
    EXPECT_EQ(estimatedRecordCount(QStringLiteral("a\r\nb\r\n"), QStringLiteral("[A]")), 2);
}
