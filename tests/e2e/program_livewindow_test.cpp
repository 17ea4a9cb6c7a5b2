// The main window over the real libvorlak on its link thread, against qel-sim at the line's real
// speed: the window keeps handling events while the terminal answers, shows how far a reading
// has got, and lets the user stop it or exit during it.
#include "common/memorysettingsstore.h"
#include "common/qteventpump.h"
#include "config/localesource.h"
#include "link/linkthread.h"
#include "link/vorlaklibrary.h"
#include "output/keystrokesink.h"
#include "recordingdialogs.h"
#include "shell/form1.h"
#include "shell/form3.h"
#include "shell/programcore.h"
#include "simterminal.h"
#include "tempdir.h"

#include <QAction>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <memory>

namespace {

constexpr int kPort = 6;
constexpr int kDocuments = 30;
constexpr int kEntriesPerDocument = 6;

/// What panel 1 showed during a reading, sampled by a timer that runs inside the calls' waits.
struct Progress
{
    int documents = 0;
    qint64 records = 0;
};

class LiveWindowTest : public TempDirTest
{
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        QByteArray terminal = R"({"id": "T6", "documents": [)";
        for (int document = 1; document <= kDocuments; ++document) {
            terminal += QByteArray(document > 1 ? "," : "") + R"({"header": {"Doc": ")" +
                        QByteArray::number(document) + R"("}, "entries": [)";
            for (int entry = 1; entry <= kEntriesPerDocument; ++entry) {
                terminal += QByteArray(entry > 1 ? "," : "") + R"({"Code": "56)" +
                            QByteArray::number(document * 100 + entry) + R"(", "Qty": "3"})";
            }
            terminal += "]}";
        }
        terminal += "]}";
        sim = std::make_unique<SimTerminal>(path(), kPort);
        QString error;
        ASSERT_TRUE(sim->start(
            terminal, {QStringLiteral("--removed"), QStringLiteral("--line-rate")}, &error))
            << error.toStdString();
        QDir().mkpath(path(QStringLiteral("out")));
        for (const auto& [key, value] : {std::pair{"Language", QStringLiteral("English")},
                                         {"ComPort", QStringLiteral("Com6")},
                                         {"AutomaticMode", QStringLiteral("True")},
                                         {"ManualMode", QStringLiteral("False")},
                                         {"AutoStart", QStringLiteral("1")},
                                         {"AppendFile", QStringLiteral("True")},
                                         {"NewFile", QStringLiteral("False")},
                                         {"AsciiDataFormat2", QStringLiteral("Doc [Doc]")},
                                         {"AsciiDataFormat", QStringLiteral("[Code] [Qty]")},
                                         {"MyFileName", output()}}) {
            ASSERT_TRUE(store.write(QString::fromLatin1(key), value));
        }
        window = std::make_unique<Form1>(ProgramPlatform{store, dialogs, link, pump, keys, locale});
        window->show();
        core().config.loadSettings(core().state.settings);
        core().session.startReceiving();
        ASSERT_TRUE(core().state.PortOpen);
    }
    void TearDown() override
    {
        if (window != nullptr && window->isVisible()) {
            window->close();
            waitUntil([this] { return !window->isVisible(); }, 60000);
        }
        window.reset();
    }

    ProgramCore& core() { return window->core(); }
    [[nodiscard]] QString output() const { return path(QStringLiteral("out/shop.txt")); }

    /// Runs the window's events until `done` holds; false after `limitMs`.
    static bool waitUntil(const std::function<bool()>& done, int limitMs)
    {
        QDeadlineTimer deadline(limitMs);
        while (!done()) {
            if (deadline.hasExpired()) {
                return false;
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        }
        return true;
    }

    /// Every 100 ms, inside whatever wait is running: the progress shown and then `act`.
    void watchReading(const std::function<void(const Progress&)>& act)
    {
        auto* watcher = new QTimer(window.get());
        watcher->setInterval(100);
        QObject::connect(watcher, &QTimer::timeout, window.get(), [this, act] {
            static const QRegularExpression shape(
                QStringLiteral("^Reading: ([0-9,]+) documents, ([0-9,]+) records$"));
            const auto match = shape.match(window->statusText(1));
            if (!match.hasMatch()) {
                return;
            }
            Progress now{match.captured(1).remove(QLatin1Char(',')).toInt(),
                         match.captured(2).remove(QLatin1Char(',')).toLongLong()};
            // The longest the window went without handling this timer during the reading.
            if (sinceLast.isValid()) {
                longestGapMs = std::max(longestGapMs, sinceLast.restart());
            } else {
                sinceLast.start();
            }
            seen.append(now);
            act(now);
        });
        watcher->start();
    }
    void place() { ASSERT_TRUE(sim->process().command("place")); }

    std::unique_ptr<SimTerminal> sim;
    MemorySettingsStore store;
    RecordingDialogs dialogs;
    SystemLocaleSource locale{QLocale(QLocale::English, QLocale::UnitedStates)};
    VorlakLibrary vorlak{dialogs, {QString::fromLocal8Bit(qgetenv("KOLBRIN_BIN_DIR")), {}, false}};
    LinkThread link{vorlak, [this] { vorlak.load(); }};
    QtEventPump pump;
    RecordingKeystrokeSink keys;
    std::unique_ptr<Form1> window;
    QList<Progress> seen;
    QElapsedTimer sinceLast;
    qint64 longestGapMs = 0;
};

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST_F(LiveWindowTest, AboutOpensDuringAReadingThatShowsItsProgressAndIsDeliveredOnce)
{
    qint64 aboutDelayMs = -1;
    bool readingWhenAboutShown = false;
    bool commandsEnabledDuringReading = true;
    watchReading([&](const Progress& now) {
        commandsEnabledDuringReading = commandsEnabledDuringReading && now.documents < 2
                                           ? commandsEnabledDuringReading
                                           : window->portCommandsEnabled();
        if (now.documents < 3 || aboutDelayMs >= 0) {
            return;
        }
        // The About command as the user gives it: an event that waits for its turn.
        aboutDelayMs = 0;
        auto asked = std::make_shared<QElapsedTimer>();
        asked->start();
        QTimer::singleShot(0, window.get(), [&, asked] {
            window->findChild<QAction*>(QStringLiteral("Aboutus"))->trigger();
            aboutDelayMs = asked->elapsed();
            auto* about = window->findChild<Form3*>();
            readingWhenAboutShown =
                about != nullptr && about->isVisible() && core().retrieval.reading();
        });
    });
    place();
    const int lines = kDocuments * (1 + kEntriesPerDocument);
    ASSERT_TRUE(waitUntil(
        [&] { return readFile(output()).count('\n') >= lines && !core().retrieval.reading(); },
        120000))
        << readFile(output()).count('\n') << " lines";

    EXPECT_GE(aboutDelayMs, 0);
    EXPECT_LT(aboutDelayMs, 1000);
    EXPECT_TRUE(readingWhenAboutShown);
    EXPECT_FALSE(commandsEnabledDuringReading);
    // The watcher runs every 100 ms: the window never went a second without handling events.
    EXPECT_LT(longestGapMs, 1000);
    RecordProperty("longest_event_gap_ms", static_cast<int>(longestGapMs));
    // The counts grew while the reading went on; a document counts from its header on, which is
    // a record too, its entries as they come.
    ASSERT_GE(seen.size(), 3);
    EXPECT_LT(seen.first().documents, seen.last().documents);
    EXPECT_LT(seen.first().records, seen.last().records);
    for (const Progress& shown : std::as_const(seen)) {
        EXPECT_LE(shown.records, qint64{shown.documents} * (kEntriesPerDocument + 1));
        EXPECT_GT(shown.records, qint64{shown.documents - 1} * (kEntriesPerDocument + 1));
    }
    // Delivered once: the appended file holds the reading once, and the journal one reading.
    const QByteArray written = readFile(output());
    EXPECT_EQ(written.count('\n'), lines);
    EXPECT_EQ(written.count("Doc 1\n"), 1);
    EXPECT_EQ(core().journal.readings().size(), 1);
    EXPECT_EQ(core().state.LastReading, ReadingEnd::Complete);
    EXPECT_EQ(window->statusText(1), output());
    EXPECT_TRUE(window->stopButton()->isHidden());
    EXPECT_TRUE(waitUntil([this] { return window->portCommandsEnabled(); }, 5000));
    EXPECT_TRUE(dialogs.shown.isEmpty())
        << dialogs.messages().join(QLatin1Char('\n')).toStdString();
}

TEST_F(LiveWindowTest, StopEndsTheReadingAsIncompleteAndExitDuringOneClosesThePort)
{
    // Stop, as the button beside the progress: the reading ends at the next document.
    bool stopped = false;
    watchReading([&](const Progress& now) {
        if (!stopped && now.documents >= 2 && window->stopButton()->isVisible()) {
            stopped = true;
            window->stopButton()->click();
        }
    });
    place();
    ASSERT_TRUE(waitUntil([&] { return stopped && !core().retrieval.reading(); }, 120000));
    EXPECT_EQ(core().state.LastReading, ReadingEnd::Interrupted);
    EXPECT_LT(core().state.DocumentsRead, kDocuments);
    EXPECT_FALSE(QFile::exists(output())) << "a stopped reading is not delivered";
    EXPECT_EQ(sim->eventCount(QStringLiteral("I_ClearAllEntries")), 0);
    ASSERT_EQ(core().journal.readings().size(), 1);
    EXPECT_EQ(core().journal.readings().first().result, QStringLiteral("incomplete"));

    // Lifted and put back: read again, and Exit while it reads.
    ASSERT_TRUE(sim->process().command("remove"));
    ASSERT_TRUE(waitUntil([this] { return !core().state.TerminalOnCradle; }, 30000));
    bool exitAsked = false;
    bool closedAtOnce = true;
    seen.clear();
    watchReading([&](const Progress& now) {
        if (!exitAsked && now.documents >= 2) {
            exitAsked = true;
            closedAtOnce = window->close();
        }
    });
    place();
    ASSERT_TRUE(waitUntil([&] { return exitAsked && !window->isVisible(); }, 120000));
    EXPECT_FALSE(closedAtOnce) << "the window waits for the call in flight";
    EXPECT_FALSE(link.callInFlight());
    // The port was closed: it opens again (an open port is held exclusively).
    EXPECT_GE(link.I_OpenCom(kPort, 9600), 0);
    link.I_CloseCom(kPort);
    EXPECT_EQ(core().state.LastReading, ReadingEnd::Interrupted);
    // Nothing written, nothing half-written beside it.
    EXPECT_EQ(QDir(path(QStringLiteral("out"))).entryList(QDir::Files | QDir::Hidden),
              QStringList());
    EXPECT_EQ(sim->eventCount(QStringLiteral("I_ClearAllEntries")), 0);
    EXPECT_TRUE(dialogs.shown.isEmpty())
        << dialogs.messages().join(QLatin1Char('\n')).toStdString();
}
