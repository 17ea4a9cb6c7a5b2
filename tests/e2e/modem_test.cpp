// qel-sim's modem (--modem) driven as the program drives it: raw IO_ functions to arm it and to
// listen for the call, the cradle protocol over the call after I_OpenComWithoutOpen, and the
// port closed to hang up.
#include "rawport.h"
#include "simfixture.h"

#include <gmock/gmock.h>
#include <thread>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using ::testing::HasSubstr;

namespace {

const std::string kOk = "\r\nOK\r\n";
const std::string kError = "\r\nERROR\r\n";
const std::string kRing = "\r\nRING\r\n";
const std::string kConnect = "\r\nCONNECT 9600\r\n";
const std::string kNoCarrier = "\r\nNO CARRIER\r\n";

} // namespace

class Modem : public SimTest
{
protected:
    /// Starts qel-sim with a modem and leaves the port closed until openPort().
    void launch(const TerminalFile& terminal, std::vector<std::string> options = {})
    {
        options.emplace_back("--modem");
        start(terminal, options);
        I_CloseCom(kPort);
    }

    void openPort() { ASSERT_EQ(IO_Open(kPort, kSpeed), kPort); }

    /// Sends one command line as waitForCall does (CR LF) and returns the modem's answer, up to
    /// and with its result line.
    std::string modemCommand(const std::string& line)
    {
        writeRaw(kPort, line + "\r\n");
        std::string reply;
        const auto deadline = Clock::now() + 20s;
        while (Clock::now() < deadline) {
            reply += readUntil(kPort, "\n", 100ms);
            for (const std::string& result : {kOk, kError, kNoCarrier}) {
                if (reply.ends_with(result)) {
                    return reply;
                }
            }
        }
        return reply;
    }

    /// The modem's bytes after a `call` command, until `wanted` came or `limit` passed.
    std::string callAndListen(std::string_view wanted, std::chrono::milliseconds limit = 20s)
    {
        EXPECT_TRUE(m_sim->command("call"));
        return readUntil(kPort, wanted, limit);
    }

    bool waitForEvent(const std::string& line)
    {
        const auto deadline = Clock::now() + 30s;
        for (;; std::this_thread::sleep_for(10ms)) {
            const auto lines = events();
            if (std::ranges::find(lines, line) != lines.end()) {
                return true;
            }
            if (Clock::now() >= deadline) {
                return false;
            }
        }
    }
};

TEST_F(Modem, AnswersCommandLinesAsAHayesModem)
{
    launch(TerminalFile::numbered(1, 1));
    openPort();
    struct Case
    {
        std::string sent; // without the CR LF that modemCommand adds
        std::string reply;
    };
    const std::string tooLong = "AT" + std::string(300, 'Z');
    const std::vector<Case> cases = {
        {"AT", kOk},
        {"AT &D2 S0=1", kOk},
        {"ATS0?", "\r\n001\r\n" + kOk},
        {"AT S0=0", kOk},
        {"at s7=30 s7?", "\r\n030\r\n" + kOk},
        {"\x02\xFF noise first, then AT", kOk}, // everything before "AT" is dropped
        {"ATX4", kError},
        {"AT S0=256", kError},
        {"AT &D4", kError},
        {"ATE1", kError},    // it cannot echo
        {"ATA", kNoCarrier}, // nothing to answer
        {tooLong, kError},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sent);
        EXPECT_EQ(modemCommand(c.sent), c.reply);
    }
    // A line ends at CR alone, LF is ignored, and a line may arrive in pieces.
    writeRaw(kPort, "AT S0");
    writeRaw(kPort, "=1\r");
    EXPECT_EQ(readUntil(kPort, "OK\r\n", 20s), kOk);
    writeRaw(kPort, "\n\nATS0?\r");
    EXPECT_EQ(readUntil(kPort, "OK\r\n", 20s), "\r\n001\r\n" + kOk);

    std::vector<std::string> expected = {
        "AT",        "AT &D2 S0=1", "ATS0?", "AT S0=0", "at s7=30 s7?",         "AT",      "ATX4",
        "AT S0=256", "AT &D4",      "ATE1",  "ATA",     tooLong.substr(0, 255), "AT S0=1", "ATS0?"};
    EXPECT_EQ(events(), expected);
}

TEST_F(Modem, AnArmedModemAnswersTheFirstRingAndTheTerminalIsReadOverTheCall)
{
    const TerminalFile terminal = TerminalFile::numbered(2, 3);
    launch(terminal);
    openPort();
    IO_dtr_control_enable(kPort);
    EXPECT_EQ(modemCommand("AT &D2 S0=1"), kOk);
    EXPECT_EQ(callAndListen("CONNECT"), kRing + kConnect);

    ASSERT_EQ(I_OpenComWithoutOpen(kPort, kSpeed), 0);
    const int checks = checksUntilAnswered();
    ASSERT_GT(checks, 0);
    EXPECT_EQ(read(kHeader, kBody).text, expectedText(terminal, true));

    // The program hangs up by closing the port; the modem keeps S0, so the next call after the
    // port is open again is answered as well.
    I_CloseCom(kPort);
    EXPECT_TRUE(waitForEvent("HANGUP"));
    openPort();
    EXPECT_EQ(modemCommand("AT"), kOk) << "back in command mode";
    EXPECT_EQ(callAndListen("CONNECT"), kRing + kConnect);

    // The far end hangs up.
    ASSERT_TRUE(m_sim->command("hangup"));
    EXPECT_EQ(readUntil(kPort, "NO CARRIER", 20s), kNoCarrier);
    EXPECT_EQ(modemCommand("AT S0=0"), kOk);

    std::vector<std::string> expected{"AT &D2 S0=1", "CONNECT"};
    expected.insert(expected.end(), static_cast<std::size_t>(checks), "I_CheckTerminal");
    expected.insert(expected.end(),
                    {"I_ReadHeader -1", "I_ReadEntries -1", "I_ReadHeader -2", "I_ReadEntries -2",
                     "I_ReadHeader -3", "HANGUP", "AT", "CONNECT", "HANGUP", "AT S0=0"});
    EXPECT_EQ(events(), expected);
}

TEST_F(Modem, UnansweredTheCallRingsFiveTimesAndTheCallerGivesUp)
{
    launch(TerminalFile::numbered(1, 1));
    openPort();
    const auto called = Clock::now();
    EXPECT_TRUE(m_sim->command("call"));
    EXPECT_FALSE(m_sim->command("call", 300ms)) << "a second call while the first rings";
    const std::string fiveRings = kRing + kRing + kRing + kRing + kRing;
    // Generous upper bounds: a loaded machine (sanitizer builds, parallel tests) delays the
    // simulator's ring timer, but never makes the rings come faster.
    EXPECT_EQ(readUntil(kPort, fiveRings, 20s), fiveRings);
    const auto ringing = Clock::now() - called;
    EXPECT_GE(ringing, 3900ms) << "rings come a second apart";
    EXPECT_LT(ringing, 15s);
    EXPECT_EQ(readUntil(kPort, "RING", 1500ms), "") << "the caller gave up after the fifth";
    EXPECT_THAT(m_sim->errorOutput(), HasSubstr("gave up after 5 rings"));

    // The line is free again, and arming the modem while it rings answers on the next ring.
    EXPECT_EQ(callAndListen(kRing), kRing);
    EXPECT_EQ(modemCommand("AT S0=2"), kOk);
    EXPECT_EQ(readUntil(kPort, "CONNECT", 20s), kRing + kConnect);
    EXPECT_EQ(events(), (std::vector<std::string>{"AT S0=2", "CONNECT"}));
}

TEST_F(Modem, ClosedPortMeansNoAnswerAndATerminalOffTheCradleDoesNotAnswerTheProtocol)
{
    launch(TerminalFile::numbered(1, 1), {"--removed"});
    openPort();
    EXPECT_EQ(modemCommand("AT &D2 S0=1"), kOk);
    IO_Close(kPort);

    // With the port closed DTR is down: the call rings unheard and unanswered until the port
    // is open again.
    // The call rings at once and again a second later, both times with the port closed.
    EXPECT_TRUE(m_sim->command("call"));
    std::this_thread::sleep_for(1500ms);
    openPort();
    EXPECT_EQ(readUntil(kPort, "CONNECT", 20s), kRing + kConnect);

    // The call is up, but nobody sits in the far cradle.
    ASSERT_EQ(I_OpenComWithoutOpen(kPort, kSpeed), 0);
    EXPECT_EQ(I_CheckTerminal(m_id.data()), 0);
    ASSERT_TRUE(m_sim->command("place"));
    const int checks = checksUntilAnswered();
    ASSERT_GT(checks, 0);
    std::vector<std::string> expected{"AT &D2 S0=1", "CONNECT"};
    expected.insert(expected.end(), static_cast<std::size_t>(checks), "I_CheckTerminal");
    EXPECT_EQ(events(), expected);
}
