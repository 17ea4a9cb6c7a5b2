// The link thread's rules with a scripted library whose calls take time.
#include "fakecommlibrary.h"
#include "link/linkthread.h"
#include "programcoreparts.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <gtest/gtest.h>

namespace {

/// Calls that last a while, noting the thread they run on and whether two ever overlapped.
class SlowLibrary : public FakeCommLibrary
{
public:
    std::int32_t I_CheckTerminal(QByteArray& terminalId) override
    {
        enter();
        QThread::msleep(150);
        const std::int32_t result = FakeCommLibrary::I_CheckTerminal(terminalId);
        leave();
        return result;
    }
    std::int32_t I_ReadEntries(QByteArray& terminalId, const QByteArray& bodyTemplate,
                               std::int32_t index, std::int32_t& textToken) override
    {
        enter();
        for (std::int64_t bytes = 100; bytes <= 300 && progress; bytes += 100) {
            progress({0, bytes});
            QThread::msleep(30);
        }
        if (progress) {
            progress({7, 300}); // the records, once formatted
        }
        const std::int32_t result =
            FakeCommLibrary::I_ReadEntries(terminalId, bodyTemplate, index, textToken);
        leave();
        return result;
    }
    bool setReadProgress(ProgressHandler handler) override
    {
        progress = std::move(handler);
        return true;
    }

    ProgressHandler progress;
    std::atomic<int> inCall = 0;
    std::atomic<bool> overlapped = false;
    std::atomic<QThread*> thread = nullptr;

private:
    void enter()
    {
        overlapped = overlapped || inCall.fetch_add(1) > 0;
        thread = QThread::currentThread();
    }
    void leave() { --inCall; }
};

class LinkThreadTest : public ::testing::Test
{
protected:
    /// Runs `work` every 20 ms while the next call waits for its result.
    QTimer* during(const std::function<void()>& work)
    {
        auto* timer = new QTimer(&owner);
        timer->setInterval(20);
        QObject::connect(timer, &QTimer::timeout, &owner, work);
        timer->start();
        return timer;
    }

    QObject owner;
    SlowLibrary slow;
    LinkThread link{slow};
};

} // namespace

TEST_F(LinkThreadTest, EventsRunDuringACallAndACallMadeFromThemWaitsItsTurnOnTheSameThread)
{
    QList<bool> told;
    link.setCallObserver([&](bool inFlight) { told.append(inFlight); });
    int events = 0;
    bool inFlightSeen = false;
    QTimer* timer = during([&] {
        ++events;
        inFlightSeen = inFlightSeen || link.callInFlight();
        if (events == 2) {
            QByteArray nestedId(8, ' ');
            link.I_CheckTerminal(nestedId); // nests in the first call's wait
        }
    });
    QByteArray id(8, ' ');
    link.I_CheckTerminal(id);
    timer->stop();

    // A timer's events do not nest in its own handler: the nested call took the rest.
    EXPECT_GE(events, 2);
    EXPECT_TRUE(inFlightSeen);
    EXPECT_FALSE(link.callInFlight());
    EXPECT_EQ(slow.calls.count(QStringLiteral("I_CheckTerminal")), 2);
    EXPECT_FALSE(slow.overlapped);
    EXPECT_NE(slow.thread.load(), QThread::currentThread());
    // One busy stretch for the two calls, nested as they were.
    EXPECT_EQ(told, (QList<bool>{true, false}));
}

TEST_F(LinkThreadTest, APollingTickDuringACallDoesNothing)
{
    MemorySettingsStore store;
    MemoryProgramParts parts;
    ProgramCore core{parts.platform(store, link), parts.windowParts()};
    int ticks = 0;
    QTimer* timer = during([&] {
        ++ticks;
        core.cycle.tick();
    });
    core.cycle.tick();
    timer->stop();
    EXPECT_GE(ticks, 3);
    EXPECT_EQ(slow.calls.count(QStringLiteral("I_CheckTerminal")), 1);
    EXPECT_FALSE(slow.overlapped);
}

TEST_F(LinkThreadTest, ProgressReachesTheCallersThreadAndTheLastReportComesBeforeTheResult)
{
    QList<CommLibrary::ReadProgress> reports;
    bool onCallersThread = true;
    ASSERT_TRUE(link.setReadProgress([&](CommLibrary::ReadProgress progress) {
        onCallersThread = onCallersThread && QThread::currentThread() == owner.thread();
        reports.append(progress);
    }));
    QByteArray id(8, ' ');
    std::int32_t token = 0;
    link.I_ReadEntries(id, "[Code]", -1, token);

    EXPECT_TRUE(onCallersThread);
    ASSERT_FALSE(reports.isEmpty());
    EXPECT_EQ(reports.last().records, 7);
    EXPECT_EQ(reports.last().bytes, 300);

    // Unregistered: nothing more is told.
    const qsizetype before = reports.size();
    EXPECT_TRUE(link.setReadProgress({}));
    link.I_ReadEntries(id, "[Code]", -1, token);
    QCoreApplication::processEvents();
    EXPECT_EQ(reports.size(), before);
}
