#include "common/appstate.h"
#include "fakecommlibrary.h"
#include "fakewindow.h"
#include "i18n/uilanguage.h"
#include "lists/listdata.h"
#include "lists/listsender.h"
#include "recordingdialogs.h"
#include "shell/filedialogstate.h"
#include "shell/qtexteditdocumentview.h"
#include "tempdir.h"

#include <QDir>
#include <QFile>
#include <QTextEdit>
#include <chrono>

using namespace Qt::StringLiterals;

TEST(ListDataTest, QuotedTextsBecomeFixedWidthFieldsInFileOrder)
{
    struct Case
    {
        const char* name;
        QString text;
        ListData::Widths widths;
        QByteArray expected;
        qsizetype unclosed = -1;
        qsizetype firstLossy = -1;
    };
    const Case cases[] = {
        {"example", u"\"A1\",\"Apple\"\n"_s, {4, 6}, "A1\0\0Apple\0"_ba},
        {"cutToWidthLessOne", u"\"ABCDE\",\"ABC\"\n"_s, {4, 4}, "ABC\0ABC\0"_ba},
        {"adjacentQuotes", u"\"\",\"\"\n"_s, {2, 3}, "\0\0\0\0\0"_ba},
        {"elementSizeZero", u"\"A\",\"B\"\n\"C\",\"D\"\n"_s, {0, 2}, "B\0D\0"_ba},
        {"threePerLineShiftTheAlternation",
         u"\"1\",\"Milk\",\"2\"\n\"3\",\"Tea\",\"4\"\n"_s,
         {2, 4},
         "1\0Mil\0002\0003\0\0\0T\0004\0\0\0"_ba},
        {"doubledQuoteIsNoEscape", u"\"A\"\"B\"\n"_s, {2, 2}, "A\0B\0"_ba},
        {"commasInsideQuotesUnquotedSkipped", u"x,\"a,b\",7\n"_s, {4, 4}, "a,b\0"_ba},
        {"noQuote", u"1,2,3\n"_s, {4, 4}, ""_ba},
        {"lastCharacterClosesTheLastField", u"\"A\",\"B\""_s, {2, 2}, "A\0B\0"_ba},
        {"oddFieldCountEndsWithAnElement", u"\"A\""_s, {2, 5}, "A\0"_ba},
        {"unclosedQuote", u"\"A\",\"B"_s, {2, 2}, "A\0"_ba, 4},
        {"lineBreakInsideQuotes", u"\"a\nb\""_s, {4, 4}, "a\nb\0"_ba},
        {"windows1252", u"\"\u00e9\u20ac\""_s, {3, 3}, "\xe9\x80\0"_ba},
        {"outsideWindows1252OneByteEach",
         u"x\"?\u0100\U0001F600b\""_s,
         {5, 1},
         "??"
         "?b\0"_ba,
         -1,
         3},
        {"lostCharacterCutOffIsNotReported", u"\"ab\u0100\""_s, {3, 1}, "ab\0"_ba},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ListData::Result result = ListData::build(c.text, c.widths);
        EXPECT_EQ(result.bytes, c.expected);
        EXPECT_EQ(ListData::size(c.text, c.widths), c.expected.size());
        EXPECT_EQ(result.unclosedQuote, c.unclosed);
        EXPECT_EQ(result.firstLossy, c.firstLossy);
    }
}

TEST(ListSenderEntryTest, OnlyWholeNumbersWithin32BitsAreTaken)
{
    const std::pair<QString, std::optional<std::int32_t>> cases[] = {
        {u" 12 "_s, 12},
        {u"+5"_s, 5},
        {u"-2147483648"_s, INT32_MIN},
        {u"2147483647"_s, INT32_MAX},
        {u"2147483648"_s, {}},
        {u"1.5"_s, {}},
        {u"1e3"_s, {}},
        {u"0x1A"_s, {}},
        {u"12abc"_s, {}},
        {u""_s, {}},
        {u"-"_s, {}},
        {u"\u0661\u0662"_s, {}},
    };
    for (const auto& [entry, expected] : cases) {
        EXPECT_EQ(ListSender::wholeNumber(entry), expected) << entry.toStdString();
    }
}

namespace {

class ListSenderTest : public TempDirTest
{
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        language.ApplyLanguage(u"English"_s, false, false, false);
        view.setText(u"before"_s);
    }

    void write(const QString& name, const QByteArray& content)
    {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(content), content.size());
    }
    /// Writes a list file and scripts the dialogs to choose it and give the entries.
    void choose(const QByteArray& content, const QStringList& entries)
    {
        write(u"list.csv"_s, content);
        dialogs.fileAnswers.push_back(path(u"list.csv"_s));
        for (const QString& entry : entries) {
            dialogs.textAnswers.push_back(entry);
        }
    }
    QStringList shown(const QString& kind) const
    {
        QStringList texts;
        for (const auto& s : dialogs.shown) {
            if (s.kind == kind) {
                texts << s.text;
            }
        }
        return texts;
    }

    FakeCommLibrary library;
    AppState state;
    RecordingDialogs dialogs;
    QTextEdit edit;
    QTextEditDocumentView view{&edit};
    FakeWindowControls window;
    FileDialogState dialogState{u"earlier.txt"_s};
    UiLanguage language;
    ListSender sender{library, state, dialogs, view, window, dialogState, language};
};

} // namespace

TEST_F(ListSenderTest, TheFileIsShownAskedAboutAndSent)
{
    choose("\"A1\",\"Apple\"\r\n\"B2\",\"Banana\"", {u"shop"_s, u"5"_s, u"4"_s, u"6"_s});
    sender.SendEntries_Click();

    ASSERT_EQ(dialogs.fileRequests.size(), 1);
    EXPECT_EQ(dialogs.fileRequests[0].filter, u"Text CSV (*.csv);; All Files (*.*)"_s);
    EXPECT_EQ(dialogs.fileRequests[0].initialPath, u"earlier.txt"_s);
    EXPECT_EQ(dialogState.fileName, path(u"list.csv"_s));
    EXPECT_EQ(shown(u"input"_s), (QStringList{u"User Variable ?"_s, u"Position ?"_s,
                                              u"Element Size ?"_s, u"Description Size ?"_s}));
    EXPECT_EQ(view.text(), u"\"A1\",\"Apple\"\n\"B2\",\"Banana\""_s);
    EXPECT_EQ(window.panel1, path(u"list.csv"_s));
    ASSERT_EQ(library.sentLists.size(), 1);
    EXPECT_EQ(library.calls, QStringList{u"I_SendList 5 20"_s});
    EXPECT_EQ(library.sentLists[0].userVariable, "shop");
    EXPECT_EQ(library.sentLists[0].data, "A1\0\0Apple\0B2\0\0Banan\0"_ba);
    EXPECT_EQ(dialogs.messages(), QStringList{u"Send sucessfull !"_s});
    EXPECT_EQ(dialogs.busyDepth, 0);
    EXPECT_GT(dialogs.busyMaxDepth, 0);
}

TEST_F(ListSenderTest, BadEntriesAreNamedAndNothingIsSent)
{
    struct Case
    {
        const char* name;
        QStringList entries; ///< std::nullopt is not needed: a cancel reads as empty
        QString named;
    };
    const Case cases[] = {
        {"positionNotANumber", {u""_s, u"abc"_s}, u"Position ? \"abc\""_s},
        {"positionBeyond32Bits", {u""_s, u"99999999999"_s}, u"Position ? \"99999999999\""_s},
        {"elementSizeEmpty", {u""_s, u"1"_s, u" "_s}, u"Element Size ? No value"_s},
        {"elementSizeFraction", {u""_s, u"1"_s, u"1.5"_s}, u"Element Size ? \"1.5\""_s},
        {"descriptionSizeNegative", {u""_s, u"1"_s, u"4"_s, u"-3"_s}, u"\"-3\" is negative"_s},
        {"userVariableTooLong", {QString(1025, u'v')}, u"1025 characters"_s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dialogs.shown.clear();
        choose("\"A1\",\"Apple\"\n", c.entries);
        sender.SendEntries_Click();
        EXPECT_TRUE(library.calls.isEmpty());
        ASSERT_EQ(dialogs.messages().size(), 1);
        EXPECT_TRUE(dialogs.messages()[0].contains(c.named)) << dialogs.messages()[0].toStdString();
        EXPECT_TRUE(dialogs.messages()[0].endsWith(u"Nothing was sent."_s));
        EXPECT_TRUE(dialogs.textAnswers.empty());
    }
}

TEST_F(ListSenderTest, FilesThatAreNoListAreRefusedBeforeAnyPrompt)
{
    ASSERT_TRUE(QDir(path()).mkdir(u"folder.csv"_s));
    QFile big(path(u"big.csv"_s));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly) && big.resize((qint64(64) << 20) + 1));
    big.close();
    write(u"list.csv"_s, "\x89PNG\r\n\x1a\n\0\0\0\r\"IHDR\""_ba);
    const std::pair<QString, QString> cases[] = {
        {u"folder.csv"_s, u"it is a folder"_s},
        {u"missing.csv"_s, u"No such file"_s},
        {u"big.csv"_s, u"65 MB"_s},
        {u"list.csv"_s, u"not a text file (a zero byte at byte 9)"_s},
    };
    for (const auto& [name, reason] : cases) {
        dialogs.fileAnswers.push_back(path(name));
        sender.SendEntries_Click();
        ASSERT_FALSE(dialogs.messages().isEmpty());
        EXPECT_TRUE(dialogs.messages().last().contains(path(name))) << name.toStdString();
        EXPECT_TRUE(dialogs.messages().last().contains(reason))
            << dialogs.messages().last().toStdString();
    }
    EXPECT_TRUE(shown(u"input"_s).isEmpty());
    EXPECT_TRUE(library.calls.isEmpty());
    EXPECT_EQ(view.text(), u"before"_s);
    EXPECT_TRUE(window.panel1.isEmpty());
}

TEST_F(ListSenderTest, AnUnclosedQuoteIsAskedAbout)
{
    for (const bool send : {false, true}) {
        dialogs.yesNoAnswers.push_back(send);
        choose("\"A1\",\"Apple\"\n\"B2,Banana\n", {u""_s, u"1"_s, u"2"_s, u"2"_s});
        sender.SendEntries_Click();
    }
    const QStringList questions = shown(u"question"_s);
    ASSERT_EQ(questions.size(), 2);
    EXPECT_TRUE(questions[0].contains(u"line 2"_s));
    EXPECT_EQ(dialogs.messages(), QStringList{u"Send sucessfull !"_s});
    ASSERT_EQ(library.sentLists.size(), 1);
    EXPECT_EQ(library.sentLists[0].data, "A\0A\0"_ba);
}

TEST_F(ListSenderTest, EncodingsAndResultsAreReported)
{
    struct Case
    {
        const char* name;
        QByteArray file;
        QString userVariable;
        std::int32_t result;
        QByteArray sentVariable;
        QByteArray sentData;
        QStringList messages;
    };
    const QString lost = u"Some characters in the user variable and in the list (the first on "
                         "line 2) cannot be held by the terminal's character set (Windows-1252); "
                         "they are sent as \"?\"."_s;
    const Case cases[] = {
        {"windows1252File",
         "\"caf\xe9\",\"\x80\"",
         u"\u00e9"_s,
         1,
         "\xe9",
         "caf\xe9\0\x80\0"_ba,
         {u"Send sucessfull !"_s}},
        {"utf8OutsideWindows1252",
         "x\n\"\xc4\x80\xf0\x9f\x98\x80\"",
         u"\u0100"_s,
         0,
         "?",
         "??\0\0\0"_ba,
         {lost, u"Send sucessfull !"_s}},
        {"commError", "\"A\"", {}, -1, "", "A\0\0\0\0"_ba, {u"Communication Error"_s}},
        {"noTerminal",
         "\"A\"",
         {},
         -2,
         "",
         "A\0\0\0\0"_ba,
         {u"Please place the terminal on the craddle"_s}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dialogs.shown.clear();
        library.sentLists.clear();
        library.script(u"I_SendList"_s, {c.result});
        choose(c.file, {c.userVariable, u"1"_s, u"5"_s, u"2"_s});
        sender.SendEntries_Click();
        ASSERT_EQ(library.sentLists.size(), 1);
        EXPECT_EQ(library.sentLists[0].userVariable, c.sentVariable);
        EXPECT_EQ(library.sentLists[0].data, c.sentData);
        EXPECT_EQ(dialogs.messages(), c.messages);
    }
}

TEST_F(ListSenderTest, ATenMegabyteFileIsSentQuicklyUnlessItsListIsTooBig)
{
    QByteArray content;
    while (content.size() < (10 << 20)) {
        content += "\"A1\",\"Apple\"\n";
    }
    const qsizetype items = content.size() / 13;
    for (const auto& [width, sent] : {std::pair{u"6"_s, true}, std::pair{u"100"_s, false}}) {
        library.sentLists.clear();
        choose(content, {u""_s, u"1"_s, u"4"_s, width});
        const auto start = std::chrono::steady_clock::now();
        sender.SendEntries_Click();
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
        if (sent) {
            ASSERT_EQ(library.sentLists.size(), 1);
            EXPECT_EQ(library.sentLists[0].data.size(), items * 10);
            EXPECT_EQ(library.sentLists[0].data.last(10), "A1\0\0Apple\0"_ba);
        } else {
            EXPECT_TRUE(library.sentLists.isEmpty());
            EXPECT_TRUE(dialogs.messages().last().contains(u"a list holds at most 16 MB"_s));
        }
    }
}
