#include "common/eventpump.h"
#include "common/qteventpump.h"
#include "output/externalprogramrunner.h"
#include "recordingdialogs.h"
#include "tempdir.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <algorithm>
#include <gtest/gtest.h>
#include <limits>
#include <thread>
#include <vector>

namespace {

// The program's own pump, counting the waits.
class CountingQtPump : public EventPump
{
public:
    void processEvents() override { m_pump.processEvents(); }
    void waitWithEvents(std::chrono::milliseconds duration) override
    {
        ++waits;
        m_pump.waitWithEvents(duration);
    }
    int waits = 0;

private:
    QtEventPump m_pump;
};

// A pump that only sleeps: the runner must notice the end without Qt's event loop.
class SleepingPump : public EventPump
{
public:
    void processEvents() override {}
    void waitWithEvents(std::chrono::milliseconds duration) override
    {
        ++waits;
        std::this_thread::sleep_for(duration);
    }
    int waits = 0;
};

class ExternalProgramRunnerTest : public TempDirTest
{
protected:
    RunResult run(const QString& commandLine) { return run(runner, commandLine); }
    RunResult run(ExternalProgramRunner& subject, const QString& commandLine)
    {
        clock.start();
        return subject.runProgram(commandLine);
    }

    RecordingDialogs dialogs;
    CountingQtPump pump;
    ExternalProgramRunner runner{pump, dialogs};
    QElapsedTimer clock;
};

TEST(SplitCommandLine, SplitsWordsLikeAShell)
{
    const struct
    {
        const char* line;
        std::vector<const char*> words;
    } cases[] = {
        {"  a b\t c ", {"a", "b", "c"}},
        {"sh -c \"exit 2\"", {"sh", "-c", "exit 2"}},
        {"'a b' \"\"", {"a b", ""}},
        {"a\"b c\"d", {"ab cd"}},
        {"\"say \\\"hi\\\" \\\\ \\n\"", {"say \"hi\" \\ \\n"}},
        {"'it'\\''s' 'no \\ escapes'", {"it's", "no \\ escapes"}},
        {"a\\ b c\\", {"a b", "c\\"}},
        {"$HOME * ; |", {"$HOME", "*", ";", "|"}},
        {"", {}},
    };
    for (const auto& c : cases) {
        QStringList expected;
        for (const char* word : c.words) {
            expected.append(QString::fromUtf8(word));
        }
        EXPECT_EQ(splitCommandLine(QString::fromUtf8(c.line)), std::optional(expected)) << c.line;
    }
}

TEST(SplitCommandLine, AQuoteNotClosedIsAnErrorSayingWhere)
{
    QString error;
    EXPECT_FALSE(splitCommandLine(QStringLiteral("sh -c \"exit 2"), &error));
    EXPECT_EQ(error, QStringLiteral("the double quote at position 7 is not closed"));
    EXPECT_FALSE(splitCommandLine(QStringLiteral("a 'b\"c"), &error));
    EXPECT_EQ(error, QStringLiteral("the single quote at position 3 is not closed"));
}

TEST_F(ExternalProgramRunnerTest, ACommandThatEndsAtOnceReturnsItsExitCodeAfterOneWaitAtMost)
{
    SleepingPump sleeping;
    ExternalProgramRunner withoutEventLoop(sleeping, dialogs);
    const struct
    {
        const char* line;
        int code;
    } cases[] = {{"true", 0}, {"sh -c \"exit 1\"", 1}, {"sh -c 'exit 2'", 2}};
    for (ExternalProgramRunner* subject : {&runner, &withoutEventLoop}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.line);
            // A loaded machine may leave the command unfinished at the check after one wait
            // too, and only ever makes a run slower: the quickest of a few runs shows that the
            // end is noticed at the first check after it. Each run may only take longer.
            int fewestWaits = std::numeric_limits<int>::max();
            qint64 fastest = std::numeric_limits<qint64>::max();
            for (int attempt = 0; attempt < 5 && (fewestWaits > 1 || fastest >= 900); ++attempt) {
                const int waitsBefore = pump.waits + sleeping.waits;
                const RunResult result = run(*subject, QString::fromUtf8(c.line));
                EXPECT_TRUE(result.started);
                EXPECT_EQ(result.exitCode, c.code);
                EXPECT_LT(clock.elapsed(), 10000) << "the end was not noticed";
                fewestWaits = std::min(fewestWaits, pump.waits + sleeping.waits - waitsBefore);
                fastest = std::min(fastest, clock.elapsed());
            }
            EXPECT_LE(fewestWaits, 1);
            EXPECT_LT(fastest, 900);
        }
    }
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(ExternalProgramRunnerTest, ALongCommandIsWaitedForWhileTheTimerKeepsTicking)
{
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
    timer.start(100);

    const RunResult result = run(QStringLiteral("sleep 3"));
    const qint64 elapsed = clock.elapsed();

    EXPECT_EQ(result.exitCode, 0);
    EXPECT_GE(elapsed, 3000);
    EXPECT_LT(elapsed, 15000) << "the end was not noticed";
    // The wait goes in half-second steps: several of them, each a whole period (no busy
    // polling), however slowly a loaded machine runs them.
    const int period = static_cast<int>(ExternalProgramRunner::kPollPeriod.count());
    EXPECT_GE(pump.waits, 2);
    EXPECT_LE(pump.waits * period, elapsed);
    // Events ran all through each wait, not only between waits: a 100 ms timer ticks several
    // times per half-second wait.
    EXPECT_GE(ticks, 2 * pump.waits) << "the window's events ran during the wait";
}

TEST_F(ExternalProgramRunnerTest, ArgumentsReachTheProgramAsSplitWithNoShellBetween)
{
    // With a shell, $HOME and * would expand and ; would end the command: the count would differ.
    const RunResult result = run(QStringLiteral("sh -c 'exit $#' x $HOME * ; \"a b\" 'c d'"));
    EXPECT_EQ(result.exitCode, 5);
}

TEST_F(ExternalProgramRunnerTest, AProgramThatEndsAbnormallyHasNoExitCode)
{
    const RunResult result = run(QStringLiteral("sh -c 'kill -9 $$'"));
    EXPECT_TRUE(result.started);
    EXPECT_EQ(result.exitCode, -1);
    EXPECT_FALSE(result.error.isEmpty());
}

TEST_F(ExternalProgramRunnerTest, ACommandThatCannotStartIsReportedWithCommandAndReason)
{
    const QString notExecutable = path(QStringLiteral("import.sh"));
    {
        QFile script(notExecutable);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nexit 0\n");
    }
    const struct
    {
        QString line;
        const char* reason;
    } cases[] = {
        {QStringLiteral("/nonexistent/kolbrin-import --all"), "does not exist"},
        {QStringLiteral("kolbrin-no-such-program x"), "found in the folders of PATH"},
        {notExecutable + QStringLiteral(" x"), "permission denied"},
        {path(), "is a folder"},
        {QStringLiteral("sh -c \"exit 2"), "not closed"},
        {QStringLiteral("   "), "names no program"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line.toStdString());
        dialogs.shown.clear();
        const RunResult result = run(c.line);
        EXPECT_FALSE(result.started);
        EXPECT_TRUE(result.error.contains(QString::fromUtf8(c.reason)))
            << result.error.toStdString();
        ASSERT_EQ(dialogs.messages().size(), 1);
        EXPECT_TRUE(dialogs.messages().first().contains(c.line));
        EXPECT_TRUE(dialogs.messages().first().contains(result.error));
    }
    EXPECT_EQ(pump.waits, 0);
}

} // namespace
