// The polling cycle driving a real qel-sim through the real libvorlak, tick by tick.
#include "common/documentview.h"
#include "config/localesource.h"
#include "config/memorysettingsstore.h"
#include "fakewindow.h"
#include "link/vorlaklibrary.h"
#include "output/keystrokesink.h"
#include "output/sendkeys.h"
#include "reallibrarycore.h"
#include "recordingdialogs.h"
#include "shell/programcore.h"
#include "simterminal.h"
#include "tempdir.h"

#include <QDir>
#include <QFile>
#include <memory>

namespace {

constexpr int kPort = 5;

const char kTerminal[] = R"({"id": "T9",
 "documents": [{"header": {"Doc": "0001"}, "entries": [{"Code": "5601", "Qty": "3"}]}]})";

class AcquisitionEndToEndTest : public TempDirTest, protected RealLibraryCore
{
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        sim = std::make_unique<SimTerminal>(path(), kPort);
        QString error;
        ASSERT_TRUE(sim->start(kTerminal, {QStringLiteral("--removed")}, &error))
            << error.toStdString();
        put("Language", "English");
        put("ComPort", "Com5");
        put("AsciiDataFormat", "[Code]{TAB}[Qty]{ENTER}");
        put("MyFileName", path(QStringLiteral("out/Demo.txt")));
        QDir().mkpath(path(QStringLiteral("out")));
    }

    void TearDown() override { core.session.receivingdata_end(); }

    void put(const char* key, const QString& value)
    {
        ASSERT_TRUE(store.write(QString::fromLatin1(key), value));
    }
    void put(const char* key, const char* value) { put(key, QString::fromUtf8(value)); }

    void openSession()
    {
        core.config.ReadConf(core.state.settings);
        core.session.receivingdata_ini();
        ASSERT_TRUE(core.state.PortOpen);
    }
    void tick() { core.cycle.AcquisitionTick(); }
    void simCommand(const char* line) { ASSERT_TRUE(sim->process().command(line)); }

    std::unique_ptr<SimTerminal> sim;
};

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

TEST_F(AcquisitionEndToEndTest, AutomaticModeReadsATerminalPlacedInTheCradleIntoTheFile)
{
    put("AutomaticMode", "True");
    put("ManualMode", "False");
    put("AutoStart", "1");
    put("UseTerminalId", "1");
    openSession();
    tick();
    EXPECT_EQ(window.panel2, QStringLiteral("Port Open ( 5) OFF"));
    simCommand("place");
    tick();
    EXPECT_EQ(window.panel2, QStringLiteral("Port Open ( 5) ON"));
    const QString expectedFile = path(QStringLiteral("out/T9      .txt"));
    EXPECT_EQ(readFile(expectedFile), QByteArray("5601{TAB}3{ENTER}\n"));
    EXPECT_EQ(window.panel1, expectedFile);

    tick(); // still there: not read twice
    EXPECT_EQ(sim->eventCount(QStringLiteral("I_ReadEntries -1")), 1);
    simCommand("remove");
    tick();
    EXPECT_EQ(window.panel2, QStringLiteral("Port Open ( 5) OFF"));
    simCommand("place");
    tick();
    EXPECT_EQ(sim->eventCount(QStringLiteral("I_ReadEntries -1")), 2);
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(AcquisitionEndToEndTest, ManualModeOnlyShowsTheTerminal)
{
    openSession();
    simCommand("place");
    tick();
    EXPECT_EQ(window.panel2, QStringLiteral("Port Open ( 5) ON"));
    EXPECT_EQ(sim->eventCount(QStringLiteral("I_ReadEntries -1")), 0);
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("out/Demo.txt"))));
}

TEST_F(AcquisitionEndToEndTest, KeyboardModeTypesTheReadingAndThenClearsTheTerminal)
{
    put("InsertKeys", "True");
    put("ManualMode", "False");
    window.minimised = true;
    openSession();
    simCommand("place");
    tick();
    ASSERT_EQ(keys.sent.size(), 1);
    QString typed;
    for (const Keystroke& key : keys.sent.front()) {
        typed += SendKeys::describe(key) + QLatin1Char(' ');
    }
    // The line break that ends the record is not typed; the tokens are keys.
    EXPECT_EQ(typed, QStringLiteral("'5' '6' '0' '1' {TAB} '3' {ENTER} "));
    EXPECT_EQ(sim->eventCount(QStringLiteral("I_ClearAllEntries")), 1);
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("out/Demo.txt"))));
}
