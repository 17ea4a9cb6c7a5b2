// A whole reading from the real qel-sim, through the real libvorlak, delivered into files.
#include "common/documentview.h"
#include "common/memorysettingsstore.h"
#include "config/localesource.h"
#include "fakewindow.h"
#include "link/vorlaklibrary.h"
#include "output/keystrokesink.h"
#include "reallibrarycore.h"
#include "recordingdialogs.h"
#include "shell/programcore.h"
#include "simterminal.h"
#include "tempdir.h"

#include <QFile>
#include <memory>

namespace {

constexpr int kPort = 7;

const char kTerminal[] = R"({"id": "T1",
 "documents": [
  {"header": {"Doc": "0001"}, "entries": [{"Code": "5601", "Qty": "3"}, {"Code": "5602", "Qty": "12"}]},
  {"header": {"Doc": "0002"}, "entries": [{"Code": "Caf\u00e9", "Qty": "1"}]}
 ]})";

// What the reading gives with the header template "Doc [Doc]" and the body "[Code];[Qty]".
const char kExpected[] = "Doc 0001\n5601;3\n5602;12\nDoc 0002\nCaf\xc3\xa9;1\n";

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

class DeliveryEndToEndTest : public TempDirTest, protected RealLibraryCore
{
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        sim = std::make_unique<SimTerminal>(path(), kPort);
        QString error;
        ASSERT_TRUE(sim->start(kTerminal, {}, &error)) << error.toStdString();

        put("Language", "English");
        put("ComPort", "Com7");
        put("AsciiDataFormat2", "Doc [Doc]");
        put("AsciiDataFormat", "[Code];[Qty]");
        put("AutomaticMode", "True");
        put("NewFile", "False");
        core.config.loadSettings(core.state.settings);
        core.session.startReceiving();
        ASSERT_TRUE(core.state.PortOpen)
            << dialogs.messages().join(QLatin1Char('\n')).toStdString();
    }

    void TearDown() override { core.session.stopReceiving(); }

    void put(const char* key, const QString& value)
    {
        ASSERT_TRUE(store.write(QString::fromLatin1(key), value));
    }
    void put(const char* key, const char* value) { put(key, QString::fromUtf8(value)); }

    /// Reads and delivers as the polling cycle does; true when the journal says delivered.
    bool readAndDeliver()
    {
        core.retrieval.readTerminalData();
        core.readingDelivery.deliver();
        const QList<JournalReading> readings = core.journal.readings(1);
        return !readings.isEmpty() && readings.front().result == QStringLiteral("delivered");
    }

    [[nodiscard]] int eventCount(const char* line) const
    {
        return sim->eventCount(QString::fromLatin1(line));
    }

    std::unique_ptr<SimTerminal> sim;
    AppState& state = core.state;
    RecordRetrieval& retrieval = core.retrieval;
};

} // namespace

TEST_F(DeliveryEndToEndTest, OverwriteWritesTheReadingAndShowsThePath)
{
    const QString out = path(QStringLiteral("out.txt"));
    put("MyFileName", out);
    put("NewFile", "True");
    ASSERT_TRUE(readAndDeliver());
    EXPECT_EQ(readFile(out), QByteArray(kExpected));
    EXPECT_EQ(window.panel1, out);
    EXPECT_TRUE(state.DataReceived);
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(DeliveryEndToEndTest, AppendAddsEachReadingAfterTheLast)
{
    const QString out = path(QStringLiteral("all.txt"));
    put("MyFileName", out);
    put("AppendFile", "True");
    ASSERT_TRUE(readAndDeliver());
    ASSERT_TRUE(readAndDeliver());
    EXPECT_EQ(readFile(out), QByteArray(kExpected) + QByteArray(kExpected));
}

TEST_F(DeliveryEndToEndTest, NumberedFilesCountUpAndTheCounterIsStored)
{
    put("MyFileName", path(QStringLiteral("Demo.txt")));
    put("IncrNumberTextFile", path(QStringLiteral("Demo.txt")));
    put("IncrNumberText", "0007");
    put("IncrNumber", "True");
    ASSERT_TRUE(readAndDeliver());
    ASSERT_TRUE(readAndDeliver());
    EXPECT_EQ(readFile(path(QStringLiteral("Demo0007.txt"))), QByteArray(kExpected));
    EXPECT_EQ(readFile(path(QStringLiteral("Demo0008.txt"))), QByteArray(kExpected));
    EXPECT_EQ(store.read(QStringLiteral("IncrNumberText"), {}), QStringLiteral("0009"));
}

TEST_F(DeliveryEndToEndTest, AutoClearEmptiesTheTerminalOnlyAfterTheFileIsWritten)
{
    put("MyFileName", path(QStringLiteral("out.txt")));
    put("NewFile", "True");
    put("AutoClear", "1");
    ASSERT_TRUE(readAndDeliver());
    EXPECT_EQ(eventCount("I_ClearAllEntries"), 1);
    retrieval.readTerminalData();
    EXPECT_TRUE(view.text().isEmpty()); // the terminal holds nothing any more
}

TEST_F(DeliveryEndToEndTest, AutoClearWithoutAFilePolicyWritesNothingAndClearsNothing)
{
    const QString out = path(QStringLiteral("out.txt"));
    put("MyFileName", out);
    put("AutoClear", "1");
    readAndDeliver();
    EXPECT_FALSE(QFile::exists(out));
    EXPECT_EQ(eventCount("I_ClearAllEntries"), 0);
}

TEST_F(DeliveryEndToEndTest, AnUnwritableOutputKeepsTheDataOnTheTerminalAndSkipsTheProgram)
{
    // A regular file where the output folder should be stops the write, also for root.
    QFile blocker(path(QStringLiteral("blocked")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString marker = path(QStringLiteral("program-ran"));
    put("MyFileName", path(QStringLiteral("blocked/out.txt")));
    put("NewFile", "True");
    put("AutoClear", "1");
    put("MyExternalProgram", QStringLiteral("touch ") + marker);

    EXPECT_FALSE(readAndDeliver());
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_TRUE(dialogs.messages().front().contains(path(QStringLiteral("blocked"))));
    EXPECT_EQ(eventCount("I_ClearAllEntries"), 0);
    EXPECT_FALSE(QFile::exists(marker));
    EXPECT_EQ(view.text().toUtf8(), QByteArray(kExpected)); // still in the view

    retrieval.readTerminalData(); // and still on the terminal
    EXPECT_EQ(view.text().toUtf8(), QByteArray(kExpected));
}

TEST_F(DeliveryEndToEndTest, TheExternalProgramRunsAfterTheFilesAreWritten)
{
    const QString out = path(QStringLiteral("out.txt"));
    const QString copy = path(QStringLiteral("copy.txt"));
    put("MyFileName", out);
    put("NewFile", "True");
    put("MyExternalProgram", QStringLiteral("cp \"%1\" \"%2\"").arg(out, copy));
    ASSERT_TRUE(readAndDeliver());
    EXPECT_EQ(readFile(copy), QByteArray(kExpected));
}
