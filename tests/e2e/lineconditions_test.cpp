// What the line does to a reading: an empty cradle, a line that damages everything, a terminal
// lifted off in the middle, and a line that damages one byte in a hundred.
#include "simfixture.h"

#include <algorithm>
#include <thread>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

template <typename Call>
std::chrono::milliseconds timed(Call call)
{
    const auto start = Clock::now();
    call();
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
}

std::chrono::milliseconds median(std::vector<std::chrono::milliseconds> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

class LineConditions : public SimTest
{
protected:
    /// Every terminal function's result, each call timed against `limit`.
    std::vector<std::int32_t> everyTerminalCall(std::chrono::milliseconds limit)
    {
        std::string buffer(255, ' ');
        std::vector<std::int32_t> results;
        const auto call = [&](auto function) {
            std::int32_t result = 0;
            EXPECT_LT(timed([&] { result = function(); }), limit);
            results.push_back(result);
        };
        call([&] { return I_CheckTerminal(m_id.data()); });
        call([&] { return I_ReadHeader(m_id.data(), kHeader, -1, &m_token); });
        call([&] { return I_ReadEntries(m_id.data(), kBody, -1, &m_token); });
        call([&] { return I_ReadEntriesConfig(m_id.data(), buffer.data()); });
        call([&] { return I_ReadHeadersConfig(m_id.data(), buffer.data()); });
        call([&] { return I_SendList(m_id.data(), "v", "list", 4, 1); });
        call([&] { return I_ClearEntries(m_id.data(), 1); });
        call([&] { return I_ClearAllEntries(m_id.data()); });
        call([&] { return I_KillProgram(m_id.data()); });
        return results;
    }
};

TEST_F(LineConditions, AnEmptyCradleAnswersMinusTwoAndAPresentTerminalAnswersFast)
{
    start(TerminalFile::numbered(2, 3), {"--removed"});
    EXPECT_EQ(everyTerminalCall(1500ms),
              (std::vector<std::int32_t>{0, -2, -2, -2, -2, -2, -2, -2, -2}));
    // The polling cycle asks every 500 ms and may spend 200 ms on an empty cradle.
    for (int i = 0; i < 5; ++i) {
        EXPECT_LT(timed([&] { EXPECT_EQ(I_CheckTerminal(m_id.data()), 0); }), 200ms);
    }
    EXPECT_EQ(id(), "        ");

    ASSERT_TRUE(m_sim->command("place"));
    std::vector<std::chrono::milliseconds> times;
    for (int i = 0; i < 11; ++i) {
        times.push_back(timed([&] { EXPECT_EQ(I_CheckTerminal(m_id.data()), 1); }));
    }
    EXPECT_LT(median(times), 50ms);
    EXPECT_EQ(id(), "T1      ");
    EXPECT_EQ(events().size(), 11U);
}

TEST_F(LineConditions, ALineThatDamagesEveryByteIsACommunicationError)
{
    start(TerminalFile::numbered(2, 3), {"--noise", "1", "--seed", "3"});
    EXPECT_EQ(everyTerminalCall(5s),
              (std::vector<std::int32_t>{0, -1, -1, -1, -1, -1, -1, -1, -1}));
    EXPECT_EQ(id(), "        ");
}

TEST_F(LineConditions, ATerminalLiftedOffMidReadingGivesMinusTwoAndLosesNothing)
{
    // About 4 KB to read at 960 bytes a second: the terminal leaves during the reading.
    const TerminalFile terminal = TerminalFile::numbered(1, 500);
    start(terminal, {"--line-rate"});
    std::thread lift([this] {
        std::this_thread::sleep_for(1500ms);
        EXPECT_TRUE(m_sim->command("remove"));
    });
    std::int32_t result = 0;
    const auto took = timed([&] { result = I_ReadEntries(m_id.data(), kBody, -1, &m_token); });
    lift.join();
    EXPECT_EQ(result, -2);
    EXPECT_LT(took, 1500ms + 2s);

    ASSERT_TRUE(m_sim->command("place"));
    const auto reading = read(nullptr, kBody);
    EXPECT_EQ(reading.text, expectedText(terminal, false));
    EXPECT_EQ(events(), (std::vector<std::string>{"I_ReadEntries -1", "I_ReadEntries -1"}));
}

TEST_F(LineConditions, OnePercentNoiseNeitherLosesNorDuplicatesARecord)
{
    const TerminalFile terminal = TerminalFile::numbered(20, 50);
    start(terminal, {"--noise", "0.01", "--seed", "11"});

    const auto withHeaders = read(kHeader, kBody);
    EXPECT_EQ(withHeaders.text, expectedText(terminal, true));
    const auto flat = read(nullptr, kBody);
    EXPECT_EQ(flat.text, expectedText(terminal, false));

    std::string list(5000, '\0');
    for (std::size_t i = 0; i < list.size(); ++i) {
        list[i] = static_cast<char>(i % 251);
    }
    EXPECT_EQ(I_SendList(m_id.data(), "noisy", list.data(), 5000, 2), 1);
    EXPECT_EQ(stateFile("lists/2.bin"), list);

    // One line per call, however many frames were sent again.
    std::vector<std::string> expected;
    for (int d = 1; d <= 20; ++d) {
        expected.push_back("I_ReadHeader -" + std::to_string(d));
        expected.push_back("I_ReadEntries -" + std::to_string(d));
    }
    expected.insert(expected.end(), {"I_ReadHeader -21", "I_ReadEntries -1", "I_SendList 2 5000"});
    EXPECT_EQ(events(), expected);
}
