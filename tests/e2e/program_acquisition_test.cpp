// The polling cycle driving a real qel-sim through the real libvorlak, tick by tick.
#include "common/documentview.h"
#include "common/memorysettingsstore.h"
#include "config/localesource.h"
#include "fakewindow.h"
#include "link/vorlaklibrary.h"
#include "output/keystrokesink.h"
#include "output/sendkeys.h"
#include "reallibrarycore.h"
#include "recordingdialogs.h"
#include "shell/programcore.h"
#include "simterminal.h"
#include "tempdir.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <cstdio>
#include <memory>
#include <thread>

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

    void TearDown() override { core.session.stopReceiving(); }

    void put(const char* key, const QString& value)
    {
        ASSERT_TRUE(store.write(QString::fromLatin1(key), value));
    }
    void put(const char* key, const char* value) { put(key, QString::fromUtf8(value)); }

    // Automatic mode, reading a terminal as soon as it is in the cradle.
    void readAutomatically()
    {
        put("AutomaticMode", "True");
        put("ManualMode", "False");
        put("AutoStart", "1");
    }

    void openSession()
    {
        core.config.loadSettings(core.state.settings);
        core.session.startReceiving();
        ASSERT_TRUE(core.state.PortOpen);
    }
    void tick() { core.cycle.tick(); }
    /// Ticks, a tenth of a second apart, until `done` holds; false if it did not within 30 s.
    /// One tick's presence check gives the terminal 160 ms, and a loaded machine may not run the
    /// simulator within that: the program's timer simply asks again on the next tick.
    template <typename Done>
    bool tickUntil(Done done)
    {
        QDeadlineTimer deadline(30000);
        for (tick(); !done(); tick()) {
            if (deadline.hasExpired()) {
                return false;
            }
            QThread::msleep(100);
        }
        return true;
    }
    bool tickUntilOnCradle()
    {
        return tickUntil([this] { return core.state.TerminalOnCradle; });
    }
    void simCommand(const char* line) { ASSERT_TRUE(sim->process().command(line)); }

    // Unplugged: the simulator ends and its device with it; the ticks notice and say so.
    void unplug()
    {
        sim->process().send("quit");
        ASSERT_TRUE(sim->process().wait().has_value());
        sim.reset();
        ASSERT_TRUE(tickUntil([this] { return core.state.PortLost; }));
        EXPECT_EQ(window.panel2,
                  QStringLiteral("Cradle disconnected from Com5, waiting for it to return"));
    }

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
    readAutomatically();
    put("UseTerminalId", "1");
    openSession();
    tick();
    EXPECT_EQ(window.panel2, QStringLiteral("Port Open ( 5) OFF"));
    simCommand("place");
    ASSERT_TRUE(tickUntilOnCradle());
    EXPECT_EQ(window.panel2, QStringLiteral("Port Open ( 5) ON"));
    const QString expectedFile = path(QStringLiteral("out/T9      .txt"));
    EXPECT_EQ(readFile(expectedFile), QByteArray("5601{TAB}3{ENTER}\n"));
    EXPECT_EQ(window.panel1, expectedFile);

    // Still there: not read twice (a check the simulator was too late for reads nothing).
    tick();
    EXPECT_EQ(sim->eventCount(QStringLiteral("I_ReadEntries -1")), 1);
    simCommand("remove");
    tick();
    EXPECT_EQ(window.panel2, QStringLiteral("Port Open ( 5) OFF"));
    simCommand("place");
    ASSERT_TRUE(tickUntilOnCradle());
    EXPECT_EQ(sim->eventCount(QStringLiteral("I_ReadEntries -1")), 2);
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(AcquisitionEndToEndTest, ACradleUnpluggedAndPluggedBackIsReopenedAndReadWithoutTheUser)
{
    readAutomatically();
    put("UseTerminalId", "1");
    openSession();
    tick();
    EXPECT_EQ(window.panel2, QStringLiteral("Port Open ( 5) OFF"));

    ASSERT_NO_FATAL_FAILURE(unplug());
    EXPECT_FALSE(core.state.PortOpen);
    // The ticks keep the main window's polling interval throughout, so the time until the port
    // is open again is the one a user sees.
    constexpr int kPollIntervalMs = 500;
    QElapsedTimer clock;
    clock.start();
    qint64 nextTick = 0;
    const auto tickOnSchedule = [&] {
        if (const qint64 wait = nextTick - clock.elapsed(); wait > 0) {
            QThread::msleep(static_cast<unsigned long>(wait));
        }
        tick();
        nextTick += kPollIntervalMs;
    };
    for (int i = 0; i < 3; ++i) {
        tickOnSchedule(); // tries to reopen a device that is not there, quietly
    }

    // Plugged back between two ticks: a new simulator on the same link.
    QThread::msleep(kPollIntervalMs / 2);
    sim = std::make_unique<SimTerminal>(path(), kPort);
    QString error;
    ASSERT_TRUE(sim->start(kTerminal, {QStringLiteral("--removed")}, &error))
        << error.toStdString();
    const qint64 returnedAt = clock.elapsed();
    while (!core.state.PortOpen && clock.elapsed() - returnedAt < 30000) {
        tickOnSchedule();
    }
    const qint64 reopenedAfter = clock.elapsed() - returnedAt;
    ASSERT_TRUE(core.state.PortOpen);
    RecordProperty("reopened_after_ms", static_cast<int>(reopenedAfter));
    std::printf("port reopened %lld ms after the device returned\n",
                static_cast<long long>(reopenedAfter));
    // Far beyond the one polling interval it takes; a loaded machine only delays the tick.
    EXPECT_LT(reopenedAfter, 10000);
    EXPECT_EQ(window.panel2, QStringLiteral("Port Open ( 5)"));

    simCommand("place");
    ASSERT_TRUE(tickUntilOnCradle());
    EXPECT_EQ(readFile(path(QStringLiteral("out/T9      .txt"))),
              QByteArray("5601{TAB}3{ENTER}\n"));
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.messages().join(u'|').toStdString();
}

TEST_F(AcquisitionEndToEndTest, AReadingCutShortByLiftingTheTerminalIsNeitherDeliveredNorCleared)
{
    // Sixty documents at the line's real speed take seconds to read: time enough to lift the
    // terminal once the third document is asked for.
    QByteArray terminal = R"({"id": "T9", "documents": [)";
    for (int document = 1; document <= 60; ++document) {
        terminal +=
            QByteArray(document > 1 ? "," : "") + R"({"header": {"Doc": ")" +
            QByteArray::number(document) +
            R"("}, "entries": [{"Code": "5601", "Qty": "3"}, {"Code": "5602", "Qty": "4"}]})";
    }
    terminal += "]}";
    sim.reset(); // the fixture's terminal goes first, and its port map with it
    sim = std::make_unique<SimTerminal>(path(QStringLiteral("long")), kPort);
    QString error;
    ASSERT_TRUE(
        sim->start(terminal, {QStringLiteral("--removed"), QStringLiteral("--line-rate")}, &error))
        << error.toStdString();
    const QString out = path(QStringLiteral("out/Demo.txt"));
    readAutomatically();
    put("AutoClear", "1");
    put("AppendFile", "True");
    put("NewFile", "False");
    put("AsciiDataFormat2", "Doc [Doc]");
    openSession();
    simCommand("place");

    bool lifted = false;
    std::thread lifter([&] {
        QDeadlineTimer deadline(30000);
        while (sim->eventCount(QStringLiteral("I_ReadHeader -3")) == 0 && !deadline.hasExpired()) {
            QThread::msleep(10);
        }
        lifted = sim->process().command("remove");
    });
    const bool seen = tickUntilOnCradle();
    lifter.join();
    ASSERT_TRUE(seen && lifted);
    EXPECT_EQ(core.state.LastReading, ReadingEnd::Interrupted);
    EXPECT_FALSE(QFile::exists(out)) << "a partial reading is not delivered";
    EXPECT_EQ(sim->eventCount(QStringLiteral("I_ClearAllEntries")), 0);
    const QStringList told = dialogs.messages();
    EXPECT_TRUE(told.contains(core.language.MsgPlaceTerminal()));
    EXPECT_TRUE(!told.isEmpty() && told.last().contains(QStringLiteral("keeps all its data")));
    EXPECT_TRUE(view.text().startsWith(QStringLiteral("Doc 1\n5601{TAB}3{ENTER}")));

    // Put back, it is read in full: delivered once, then cleared.
    ASSERT_TRUE(tickUntil([this] { return !core.state.TerminalOnCradle; }));
    simCommand("place");
    ASSERT_TRUE(tickUntilOnCradle());
    EXPECT_EQ(core.state.LastReading, ReadingEnd::Complete);
    const QByteArray written = readFile(out);
    EXPECT_EQ(written.count("Doc "), 60);
    EXPECT_TRUE(written.startsWith("Doc 1\n5601{TAB}3{ENTER}"));
    EXPECT_EQ(sim->eventCount(QStringLiteral("I_ClearAllEntries")), 1);
}

TEST_F(AcquisitionEndToEndTest, ManualModeOnlyShowsTheTerminal)
{
    openSession();
    simCommand("place");
    ASSERT_TRUE(tickUntilOnCradle());
    EXPECT_EQ(window.panel2, QStringLiteral("Port Open ( 5) ON"));
    EXPECT_EQ(sim->eventCount(QStringLiteral("I_ReadEntries -1")), 0);
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("out/Demo.txt"))));
}

TEST_F(AcquisitionEndToEndTest, KeyboardModeTypesTheReadingAndThenClearsTheTerminal)
{
    // Values holding what the keystroke notation reads are typed as they are.
    sim.reset();
    sim = std::make_unique<SimTerminal>(path(QStringLiteral("keys")), kPort);
    QString error;
    const char terminal[] = R"json({"id": "T9", "documents": [{"header": {"Doc": "1"},
        "entries": [{"Code": "0% (a)", "Qty": "~{+}[^]"}]}]})json";
    ASSERT_TRUE(sim->start(terminal, {QStringLiteral("--removed")}, &error)) << error.toStdString();
    put("InsertKeys", "True");
    put("ManualMode", "False");
    window.minimised = true;
    openSession();
    simCommand("place");
    ASSERT_TRUE(tickUntilOnCradle());
    ASSERT_EQ(keys.sent.size(), 1);
    QString typed;
    for (const Keystroke& key : keys.sent.front()) {
        typed += SendKeys::describe(key) + QLatin1Char(' ');
    }
    // The line break that ends the record is not typed; the template's tokens are keys.
    EXPECT_EQ(typed, QStringLiteral("'0' '%' ' ' '(' 'a' ')' {TAB} '~' '{' '+' '}' '[' '^' ']' "
                                    "{ENTER} "));
    EXPECT_EQ(sim->eventCount(QStringLiteral("I_ClearAllEntries")), 1);
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("out/Demo.txt"))));
}

TEST_F(AcquisitionEndToEndTest, AModemUnpluggedWhileWaitingIsArmedAgainOnceItIsBack)
{
    const auto startModem = [this] {
        sim = std::make_unique<SimTerminal>(path(QStringLiteral("modem")), kPort);
        QString error;
        return sim->start(kTerminal, {QStringLiteral("--modem")}, &error);
    };
    sim.reset();
    ASSERT_TRUE(startModem());
    put("AutoAnswer", "1");
    readAutomatically();
    core.config.loadSettings(core.state.settings);
    core.modem.waitForCall();
    ASSERT_TRUE(core.state.PortOpen);

    ASSERT_NO_FATAL_FAILURE(unplug());

    ASSERT_TRUE(startModem());
    ASSERT_TRUE(tickUntil([this] { return core.state.PortOpen; }));
    QDeadlineTimer deadline(30000);
    while (!sim->events().contains(QStringLiteral("AT &D2 S0=1")) && !deadline.hasExpired()) {
        QThread::msleep(10);
    }
    EXPECT_TRUE(sim->events().contains(QStringLiteral("AT &D2 S0=1"))) << "armed again";
    EXPECT_EQ(window.panel2, QStringLiteral("Port Open ( 5)"));
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.messages().join(u'|').toStdString();
}

TEST_F(AcquisitionEndToEndTest, AModemCallIsAnsweredReadHungUpAndTheModemArmedAgain)
{
    // A modem in front of the terminal this time.
    sim.reset();
    sim = std::make_unique<SimTerminal>(path(QStringLiteral("modem")), kPort);
    QString error;
    ASSERT_TRUE(sim->start(kTerminal, {QStringLiteral("--modem")}, &error)) << error.toStdString();
    put("AutoAnswer", "1");
    readAutomatically();
    put("MyFileName", path(QStringLiteral("out/call.txt")));
    core.config.loadSettings(core.state.settings);
    // The pause between hanging up and arming again really passes, so the modem sees the port
    // closed before it is opened again.
    pump.onEvents = [] { QThread::msleep(300); };

    core.modem.waitForCall();
    ASSERT_TRUE(core.state.PortOpen);
    simCommand("call");
    ASSERT_TRUE(tickUntil([this] { return core.state.ModemConnected; }));
    // The cradle path over the call: read, delivered, hung up, armed again.
    ASSERT_TRUE(tickUntil([this] { return !core.state.ModemConnected; }));
    EXPECT_EQ(readFile(path(QStringLiteral("out/call.txt"))), QByteArray("5601{TAB}3{ENTER}\n"));
    EXPECT_FALSE(core.state.ModemConnected);
    EXPECT_TRUE(core.state.PortOpen);

    core.modem.restoreAtClose();
    QDeadlineTimer deadline(30000);
    while (!sim->events().endsWith(QStringLiteral("AT S0=0")) && !deadline.hasExpired()) {
        QThread::msleep(10);
    }
    const QStringList events = sim->events();
    EXPECT_EQ(events.first(), QStringLiteral("AT &D2 S0=1"));
    EXPECT_TRUE(events.contains(QStringLiteral("CONNECT")));
    EXPECT_TRUE(events.contains(QStringLiteral("I_ReadEntries -1")));
    const qsizetype hangup = events.indexOf(QStringLiteral("HANGUP"));
    ASSERT_GE(hangup, 0);
    EXPECT_EQ(events.indexOf(QStringLiteral("AT &D2 S0=1"), hangup), hangup + 1) << "armed again";
    EXPECT_EQ(events.last(), QStringLiteral("AT S0=0"));
    EXPECT_TRUE(dialogs.shown.isEmpty());
}
