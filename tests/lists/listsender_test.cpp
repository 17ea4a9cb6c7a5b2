// "Send entries to terminal" on real list files, against a scripted library and, end to end,
// against the real libvorlak and qel-sim, whose stored lists are compared byte for byte.
#include "common/appstate.h"
#include "common/textcodec.h"
#include "document/filedialogstate.h"
#include "document/qtexteditdocumentview.h"
#include "fakecommlibrary.h"
#include "fakewindow.h"
#include "i18n/uilanguage.h"
#include "link/vorlaklibrary.h"
#include "lists/listsender.h"
#include "recordingdialogs.h"
#include "simterminal.h"
#include "tempdir.h"

#include <QDir>
#include <QFile>
#include <QTextEdit>

using namespace Qt::StringLiterals;

namespace {

class ListSenderTest : public TempDirTest
{
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        language.applyLanguage(u"English"_s);
        view.setText(u"before"_s);
    }
    void write(const QString& name, const QByteArray& content)
    {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(content), content.size());
    }
    /// Runs the command on a list file with these entries (user variable, position, sizes).
    void send(const QByteArray& content, const QStringList& entries)
    {
        dialogs.shown.clear();
        write(u"list.csv"_s, content);
        dialogs.fileAnswers.push_back(path(u"list.csv"_s));
        dialogs.textAnswers.assign(entries.begin(), entries.end());
        ListSender(*library, state, dialogs, view, window, dialogState, language).sendList();
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

    FakeCommLibrary fake;
    CommLibrary* library = &fake;
    AppState state;
    RecordingDialogs dialogs;
    QTextEdit edit;
    QTextEditDocumentView view{&edit};
    FakeWindowControls window;
    FileDialogState dialogState{u"earlier.txt"_s};
    UiLanguage language;
};

} // namespace

TEST_F(ListSenderTest, BadEntriesAreNamedAndStopTheCommand)
{
    const std::pair<QStringList, QString> cases[] = {
        {{u""_s, u"abc"_s}, u"Position ? \"abc\" is not a whole number"_s},
        {{u""_s, u"2147483648"_s}, u"Position ? \"2147483648\" is not a whole number"_s},
        {{u""_s, u"0x1A"_s}, u"Position ? \"0x1A\" is not a whole number"_s},
        {{u""_s, u"1"_s, u" "_s}, u"Element Size ? No value was entered"_s},
        {{u""_s, u"1"_s, u"1.5"_s}, u"Element Size ? \"1.5\" is not a whole number"_s},
        {{u""_s, u"1"_s, u"4"_s, u"-3"_s}, u"Description Size ? \"-3\" is negative"_s},
        {{QString(1025, u'v')}, u"User Variable ? The text has 1025 characters"_s},
    };
    for (const auto& [entries, named] : cases) {
        send("\"A1\",\"Apple\"\n", entries);
        ASSERT_EQ(dialogs.messages().size(), 1) << named.toStdString();
        EXPECT_TRUE(dialogs.messages()[0].startsWith(named)) << named.toStdString();
        EXPECT_TRUE(dialogs.messages()[0].endsWith(u"Nothing was sent."_s));
        EXPECT_EQ(dialogs.shown.constLast().icon, MessageIcon::Warning);
        EXPECT_EQ(shown(u"input"_s).size(), entries.size()) << named.toStdString();
    }
    EXPECT_TRUE(fake.calls.isEmpty());
}

TEST_F(ListSenderTest, FilesThatAreNoListAreRefusedBeforeAnyPrompt)
{
    ASSERT_TRUE(QDir(path()).mkdir(u"folder.csv"_s));
    QFile big(path(u"big.csv"_s));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly) && big.resize((qint64(64) << 20) + 1));
    write(u"picture.csv"_s, "\x89PNG\r\n\x1a\n\0\0\0\r\"IHDR\""_ba);
    write(u"cells.rtf"_s, "{\\rtf1 " + QByteArray("\\cell ").repeated(50'001) + "}");
    const std::pair<QString, QString> cases[] = {
        {u"folder.csv"_s, u"it is a folder"_s},
        {u"missing.csv"_s, u"No such file"_s},
        {u"big.csv"_s, u"it holds 65 MB, more than the 64 MB"_s},
        {u"picture.csv"_s, u"it is not a text file (a zero byte at byte 9)"_s},
        {u"cells.rtf"_s, u"its tables have more than 50000 cells (at byte 300008)"_s},
    };
    for (const auto& [name, reason] : cases) {
        dialogs.fileAnswers.push_back(path(name));
        ListSender(fake, state, dialogs, view, window, dialogState, language).sendList();
        ASSERT_FALSE(dialogs.messages().isEmpty());
        EXPECT_TRUE(
            dialogs.messages().last().contains(path(name) + u"\" could not be read: "_s + reason))
            << dialogs.messages().last().toStdString();
    }
    EXPECT_TRUE(shown(u"input"_s).isEmpty());
    EXPECT_TRUE(fake.calls.isEmpty());
    EXPECT_EQ(view.text(), u"before"_s);
    EXPECT_TRUE(window.panel1.isEmpty());
}

TEST_F(ListSenderTest, UnclosedQuotesLostCharactersAndFailuresAreToldTheUser)
{
    const QString lost = u"Some characters in the user variable and in the list (the first on "
                         "line 2) cannot be held by the terminal's character set (Windows-1252); "
                         "they are sent as \"?\"."_s;
    const QString unclosed =
        u"The quote opened on line 2 of \"%1\" is never closed, so the text "
        "after it is not part of the list.\n\nSend the list without it?"_s.arg(path(u"list.csv"_s));
    // File, user variable, library result, answer to a question, what was sent (user variable,
    // '|', list data), what the user was told.
    const std::tuple<QByteArray, QString, int, bool, QByteArray, QStringList> cases[] = {
        {"x\n\"\xc4\x80\xf0\x9f\x98\x80\"",
         u"\u0100"_s,
         0,
         true,
         "?|??\0\0\0"_ba,
         {lost, u"Send sucessfull !"_s}},
        {"\"AB\"\n\"C,D\n", {}, 1, true, "|AB\0\0\0"_ba, {unclosed, u"Send sucessfull !"_s}},
        {"\"AB\"\n\"C,D\n", {}, 1, false, {}, {unclosed}},
        {"\"A\"", {}, -1, true, "|A\0\0\0\0"_ba, {u"Communication Error"_s}},
        {"\"A\"", {}, -2, true, "|A\0\0\0\0"_ba, {u"Please place the terminal on the craddle"_s}},
    };
    for (const auto& [file, userVariable, result, answer, sent, told] : cases) {
        fake.sentLists.clear();
        fake.setDefault(u"I_SendList"_s, result);
        dialogs.yesNoAnswers = {answer};
        send(file, {userVariable, u"1"_s, u"5"_s, u"2"_s});
        QByteArray sentNow;
        for (const auto& list : fake.sentLists) {
            sentNow += list.userVariable + '|' + list.data;
        }
        EXPECT_EQ(sentNow, sent) << file.toStdString();
        EXPECT_EQ(shown(u"question"_s) + shown(u"message"_s), told) << file.toStdString();
    }
}

// A list of length 0 would wipe the terminal's list at that position and still be reported
// as sent: a file without quoted texts, or sizes that keep nothing of them, is refused first.
TEST_F(ListSenderTest, AnEmptyListIsRefusedAndNothingIsSent)
{
    const QString noList =
        u"The file \"%1\" holds no list: every element and every description must stand in "
        "double quotes, such as \"5601\",\"Milk\".\n\nNothing was sent."_s.arg(path(u"list.csv"_s));
    const QString noBytes = u"With element size %1 and description size %2 the list of \"%3\" "
                            "would hold nothing; a size of 1 or more is needed.\n\nNothing was "
                            "sent."_s;
    // File, element and description size, what the user was told.
    const std::tuple<QByteArray, QString, QString> cases[] = {
        {"5601,Milk\n5602,Bread", u"5 6"_s, noList},
        {"5601,Milk\r\n5602,Bread\r\n", u"5 6"_s, noList},
        {"", u"5 6"_s, noList},
        {"\n\r\n  \n", u"5 6"_s, noList},
        {"5601,\"Milk\n", u"5 6"_s, noList}, // no question about a quote that gives nothing
        {"\"5601\",\"Milk\"", u"0 0"_s, noBytes.arg(0).arg(0).arg(path(u"list.csv"_s))},
        {"\"5601\"", u"0 6"_s, noBytes.arg(0).arg(6).arg(path(u"list.csv"_s))},
    };
    for (const auto& [file, sizes, told] : cases) {
        send(file, QStringList{u"shop"_s, u"3"_s} + sizes.split(u' '));
        EXPECT_EQ(shown(u"question"_s) + shown(u"message"_s), QStringList{told})
            << file.toStdString();
    }
    EXPECT_TRUE(fake.calls.isEmpty());

    send("\"5601\",\"Milk\"\r\n\"5602\",\"Bread\"\r\n", {u"shop"_s, u"3"_s, u"5"_s, u"6"_s});
    ASSERT_EQ(fake.sentLists.size(), 1);
    EXPECT_EQ(fake.sentLists[0].data, "5601\0Milk\0\0"
                                      "5602\0Bread\0"_ba);
    EXPECT_EQ(fake.sentLists[0].position, 3);
    EXPECT_EQ(dialogs.messages(), QStringList{u"Send sucessfull !"_s});
    EXPECT_EQ(dialogs.shown.constLast().icon, MessageIcon::Information);
}

TEST_F(ListSenderTest, ATenMegabyteFileIsSentUnlessItsListIsTooBig)
{
    QByteArray content;
    while (content.size() < (10 << 20)) {
        content += "\"A1\",\"Apple\"\n";
    }
    send(content, {u""_s, u"1"_s, u"4"_s, u"100"_s});
    EXPECT_TRUE(dialogs.messages().value(0).contains(u"would take 81 MB; a list holds at most "
                                                     "16 MB"_s));
    send(content, {u""_s, u"1"_s, u"4"_s, u"6"_s});
    ASSERT_EQ(fake.sentLists.size(), 1);
    EXPECT_EQ(fake.sentLists[0].data.size(), content.size() / 13 * 10);
    EXPECT_EQ(fake.sentLists[0].data.last(10), "A1\0\0Apple\0"_ba);
}

TEST_F(ListSenderTest, QelSimStoresTheListsByteForByte)
{
    constexpr int kPort = 6;
    SimTerminal sim(path(), kPort);
    QString error;
    ASSERT_TRUE(sim.start(R"({"id": "T7"})", {}, &error)) << error.toStdString();
    VorlakLibrary vorlak{dialogs, {QString::fromLocal8Bit(qgetenv("KOLBRIN_BIN_DIR")), {}, false}};
    ASSERT_NE(vorlak.I_OpenCom(kPort, 9600), CommLibrary::kCommError);
    library = &vorlak;

    const std::tuple<QByteArray, QString, QString, std::optional<QByteArray>> cases[] = {
        {"\"A1\",\"Apple\"\n", u"shop"_s, u"4 6"_s, "A1\0\0Apple\0"_ba},
        {"\"\",\"x\",\"\"\n", u""_s, u"3 0"_s, "\0\0\0\0\0\0"_ba},
        {"\"1\",\"Milk\",\"2\"\n\"3\",\"Tea\",\"4\"\n", u""_s, u"2 4"_s,
         "1\0Mil\0002\0003\0\0\0T\0004\0\0\0"_ba},
        {"\"A\"\"B\"\r\n", u""_s, u"2 2"_s, "A\0B\0"_ba},
        {"\"a\r\nb\"", u""_s, u"4 1"_s, "a\nb\0"_ba},
        {"7,\"a,b\",x,\"c\"\n", u""_s, u"5 2"_s, "a,b\0\0c\0"_ba},
        {"\"A\",\"B\"", u""_s, u"2 2"_s, "A\0B\0"_ba},
        {"\"caf\xc3\xa9\",\"\xe2\x82\xac\"", QString(1024, u'\u00e9'), u"6 2"_s,
         "caf\xe9\0\0\x80\0"_ba},
        {"\"caf\xe9\",\"\x80\"", u"Windows-1252 file"_s, u"6 2"_s, "caf\xe9\0\0\x80\0"_ba},
        {"\"A\"\n", u""_s, u"2 2"_s, std::nullopt}, // position -1: refused by the terminal
    };
    int position = 0;
    for (const auto& [file, userVariable, sizes, stored] : cases) {
        const QString name = u"lists/"_s + QString::number(++position);
        const bool refused = !stored;
        send(file, QStringList{userVariable, refused ? u"-1"_s : u" +%1 "_s.arg(position)} +
                       sizes.split(u' '));
        EXPECT_EQ(dialogs.messages().value(0),
                  refused ? u"Communication Error"_s : u"Send sucessfull !"_s)
            << name.toStdString();
        QFile bin(sim.statePath(name + u".bin"_s));
        QFile var(sim.statePath(name + u".var"_s));
        const bool found = bin.open(QIODevice::ReadOnly);
        EXPECT_EQ(found, !refused) << position;
        EXPECT_EQ(found ? bin.readAll() : QByteArray(), stored.value_or(QByteArray())) << position;
        EXPECT_EQ(var.open(QIODevice::ReadOnly) ? var.readAll() : QByteArray("<none>"),
                  refused ? "<none>" : TextCodec::toWindows1252(userVariable));
    }
    EXPECT_EQ(sim.eventCount(u"I_SendList 1 10"_s), 1);
    // What the user saw of the last run: the filter, the prompts, the file in the view and its
    // path in the status bar, the busy pointer while working.
    EXPECT_EQ(dialogs.fileRequests.value(0).filter, u"Text CSV (*.csv);; All Files (*.*)"_s);
    EXPECT_EQ(dialogs.fileRequests.value(0).initialPath, u"earlier.txt"_s);
    EXPECT_EQ(dialogs.fileRequests.value(1).initialPath, path(u"list.csv"_s));
    EXPECT_EQ(shown(u"input"_s), (QStringList{u"User Variable ?"_s, u"Position ?"_s,
                                              u"Element Size ?"_s, u"Description Size ?"_s}));
    EXPECT_EQ(view.text(), u"\"A\"\n"_s);
    EXPECT_EQ(window.panel1, path(u"list.csv"_s));
    EXPECT_EQ(dialogs.busyDepth, 0);
    EXPECT_GT(dialogs.busyMaxDepth, 0);
    vorlak.I_CloseCom(kPort);
}
