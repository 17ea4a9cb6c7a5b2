#include "linenoise.h"
#include "linepacer.h"

#include <algorithm>
#include <gtest/gtest.h>

using qelsim::LineNoise;
using qelsim::LinePacer;
using namespace std::chrono_literals;

namespace {

std::string damaged(double probability, std::uint64_t seed, const std::string& sent)
{
    LineNoise noise(probability, seed);
    std::string received;
    // Fed in pieces, as replies come: the damage must not depend on how the stream is cut.
    for (std::size_t i = 0; i < sent.size(); i += 7) {
        noise.apply(std::string_view(sent).substr(i, 7), received);
    }
    return received;
}

} // namespace

TEST(LineNoise, SameSeedSameDamage)
{
    std::string sent;
    for (int i = 0; i < 20000; ++i) {
        sent += static_cast<char>(i * 31);
    }
    const std::string first = damaged(0.05, 42, sent);
    EXPECT_EQ(damaged(0.05, 42, sent), first);
    EXPECT_NE(damaged(0.05, 43, sent), first);
    EXPECT_NE(first, sent);
}

TEST(LineNoise, DamagesBytesAtTheRequestedRate)
{
    // Every byte is 'A', so a byte arriving as anything else was changed; fewer bytes arriving
    // were lost. With 200000 bytes the counts sit well within 10% of what is expected.
    const std::string sent(200000, 'A');
    for (const double p : {0.01, 0.2}) {
        SCOPED_TRACE(p);
        const std::string received = damaged(p, 7, sent);
        const double lost = static_cast<double>(sent.size() - received.size());
        const auto changed = static_cast<double>(
            std::count_if(received.begin(), received.end(), [](char c) { return c != 'A'; }));
        const double expectedEach = static_cast<double>(sent.size()) * p / 2;
        EXPECT_NEAR(lost, expectedEach, expectedEach * 0.1);
        EXPECT_NEAR(changed, expectedEach, expectedEach * 0.1);
    }
}

TEST(LineNoise, ZeroLeavesTheLineCleanAndOneSparesNothing)
{
    const std::string sent(5000, 'A');
    EXPECT_EQ(damaged(0.0, 1, sent), sent);
    const std::string received = damaged(1.0, 1, sent);
    EXPECT_LT(received.size(), sent.size());
    EXPECT_EQ(received.find('A'), std::string::npos);
}

TEST(LinePacer, SendsAtTheCharacterRateOfTheLine)
{
    struct Case
    {
        int baud;
        int bits;
        double perSecond;
    };
    for (const Case c : {Case{9600, 10, 960.0}, Case{4800, 10, 480.0}, Case{38400, 10, 3840.0},
                         Case{9600, 11, 9600.0 / 11}}) {
        SCOPED_TRACE(c.baud);
        LinePacer pacer;
        pacer.setSpeed(c.baud, c.bits);
        const auto t0 = LinePacer::Clock::time_point(1h);
        pacer.start(t0);
        std::size_t total = 0;
        // Woken every 3 ms for one second, as the simulator's loop would be.
        for (auto t = t0; t < t0 + 1s; t += 3ms) {
            const std::size_t n = pacer.allowance(t, 100000);
            pacer.sent(n);
            total += n;
        }
        EXPECT_NEAR(static_cast<double>(total), c.perSecond, c.perSecond * 0.005);
    }
}

TEST(LinePacer, AnIdleLineGivesNoBurstAndAStallOnlyAFifoFull)
{
    LinePacer pacer;
    pacer.setSpeed(9600, 10);
    const auto t0 = LinePacer::Clock::time_point(1h);
    pacer.start(t0);
    EXPECT_EQ(pacer.allowance(t0, 1000), 1U); // the first byte goes at once
    pacer.sent(1);
    EXPECT_EQ(pacer.allowance(t0 + 500us, 1000), 0U);

    // Idle for a second, then a new reply: it starts at the line's pace, with no saved credit.
    const auto t1 = t0 + 1s;
    pacer.start(t1);
    EXPECT_EQ(pacer.allowance(t1, 1000), 1U);
    pacer.sent(1);
    EXPECT_GT(pacer.nextSlot(), t1);

    // The sender stalls for 100 ms in the middle of a reply: it catches up by at most 16.
    EXPECT_EQ(pacer.allowance(t1 + 100ms, 1000), 16U);
}
