// List files sent through the real libvorlak to a real qel-sim, compared byte for byte with the
// lists the terminal stored.
#include "common/appstate.h"
#include "common/textcodec.h"
#include "fakewindow.h"
#include "i18n/uilanguage.h"
#include "link/vorlaklibrary.h"
#include "lists/listsender.h"
#include "recordingdialogs.h"
#include "shell/filedialogstate.h"
#include "shell/qtexteditdocumentview.h"
#include "simterminal.h"
#include "tempdir.h"

#include <QDir>
#include <QFile>
#include <QTextEdit>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

constexpr int kPort = 6;

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

class ListSenderEndToEndTest : public TempDirTest
{
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        language.ApplyLanguage(u"English"_s, false, false, false);
        sim = std::make_unique<SimTerminal>(path(), kPort);
        QString error;
        ASSERT_TRUE(sim->start(R"({"id": "T7"})", {}, &error)) << error.toStdString();
        ASSERT_NE(library.I_OpenCom(kPort, 9600), CommLibrary::kCommError) << library.problem().toStdString();
    }
    void TearDown() override { library.I_CloseCom(kPort); }

    std::unique_ptr<SimTerminal> sim;
    RecordingDialogs dialogs;
    VorlakLibrary library{dialogs, {QString::fromLocal8Bit(qgetenv("KOLBRIN_BIN_DIR")), {}, false}};
    AppState state;
    QTextEdit edit;
    QTextEditDocumentView view{&edit};
    FakeWindowControls window;
    FileDialogState dialogState;
    UiLanguage language;
    ListSender sender{library, state, dialogs, view, window, dialogState, language};
};

} // namespace

TEST_F(ListSenderEndToEndTest, TheTerminalStoresTheListByteForByte)
{
    struct Case
    {
        const char* name;
        QByteArray file;
        QString userVariable;
        QString sizes; ///< element and description size
        QByteArray stored;
    };
    const Case cases[] = {
        {"example", "\"A1\",\"Apple\"\n", u"shop"_s, u"4 6"_s, "A1\0\0Apple\0"_ba},
        {"adjacentQuotesAndSizeZero", "\"\",\"x\",\"\"\n", u""_s, u"3 0"_s, "\0\0\0\0\0\0"_ba},
        {"threePerLine", "\"1\",\"Milk\",\"2\"\n\"3\",\"Tea\",\"4\"\n", u""_s, u"2 4"_s,
         "1\0Mil\0002\0003\0\0\0T\0004\0\0\0"_ba},
        {"doubledQuote", "\"A\"\"B\"\r\n", u""_s, u"2 2"_s, "A\0B\0"_ba},
        {"commasInsideQuotes", "7,\"a,b\",x,\"c\"\n", u""_s, u"5 2"_s, "a,b\0\0c\0"_ba},
        {"noQuoteSendsAnEmptyList", "1,2,3\n", u"empty"_s, u"4 6"_s, ""_ba},
        {"lastCharacterClosesTheLastField", "\"A\",\"B\"", u""_s, u"2 2"_s, "A\0B\0"_ba},
        {"windows1252AndLongestUserVariable", "\"caf\xc3\xa9\"", QString(1024, u'\u00e9'), u"6 1"_s,
         "caf\xe9\0\0"_ba},
    };
    std::int32_t position = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ++position;
        const QString file = path(QString::fromLatin1(c.name) + u".csv"_s);
        {
            QFile out(file);
            ASSERT_TRUE(out.open(QIODevice::WriteOnly));
            out.write(c.file);
        }
        const QStringList sizes = c.sizes.split(u' ');
        dialogs.fileAnswers.push_back(file);
        for (const QString& entry :
             {c.userVariable, QString::number(position), sizes[0], sizes[1]}) {
            dialogs.textAnswers.push_back(entry);
        }
        sender.SendEntries_Click();
        ASSERT_FALSE(dialogs.messages().isEmpty());
        EXPECT_EQ(dialogs.messages().last(), u"Send sucessfull !"_s);
        const QString stored = u"lists/"_s + QString::number(position);
        EXPECT_EQ(readFile(sim->statePath(stored + u".bin"_s)), c.stored);
        EXPECT_EQ(readFile(sim->statePath(stored + u".var"_s)),
                  TextCodec::toWindows1252(c.userVariable));
    }
    EXPECT_EQ(sim->eventCount(u"I_SendList 1 10"_s), 1);
}

TEST_F(ListSenderEndToEndTest, ARefusedListIsReportedAndNothingIsStored)
{
    // The terminal refuses negative positions: the user hears of it.
    const QString file = path(u"list.csv"_s);
    {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("\"A\"\n");
    }
    dialogs.fileAnswers.push_back(file);
    for (const QString& entry : {u""_s, u"-1"_s, u"2"_s, u"2"_s}) {
        dialogs.textAnswers.push_back(entry);
    }
    sender.SendEntries_Click();
    EXPECT_EQ(dialogs.messages(), QStringList{u"Communication Error"_s});
    EXPECT_TRUE(QDir(sim->statePath(u"lists"_s)).entryList(QDir::Files).isEmpty());
}
