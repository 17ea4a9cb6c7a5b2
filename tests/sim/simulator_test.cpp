// The simulator's loop on a real pseudo-terminal, with a terminal that echoes what it hears, so
// what comes back shows exactly what the line did to it.
#include "linehandler.h"
#include "linenoise.h"
#include "pseudoterminal.h"
#include "simulator.h"

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <poll.h>
#include <sstream>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

class EchoTerminal : public qelsim::LineHandler
{
public:
    void onBytes(std::string_view in, std::string& out) override
    {
        const auto now = Clock::now().time_since_epoch().count();
        Clock::rep none = 0;
        firstHeard.compare_exchange_strong(none, now);
        lastHeard = now;
        out.append(in);
    }
    void reset() override { ++resets; }
    std::atomic<int> resets{0};
    std::atomic<Clock::rep> firstHeard{0};
    std::atomic<Clock::rep> lastHeard{0};
};

// Lets the simulator's acknowledgements travel through a pipe to the test's thread.
class FdBuffer : public std::streambuf
{
public:
    explicit FdBuffer(int fd)
        : m_fd(fd)
    {
    }

protected:
    int_type overflow(int_type c) override
    {
        const char ch = traits_type::to_char_type(c);
        return c == traits_type::eof() || write(m_fd, &ch, 1) == 1 ? c : traits_type::eof();
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override
    {
        return write(m_fd, s, static_cast<std::size_t>(n));
    }

private:
    int m_fd;
};

void setSpeed(int fd, speed_t speed)
{
    termios tio{};
    ASSERT_EQ(tcgetattr(fd, &tio), 0);
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    ASSERT_EQ(tcsetattr(fd, TCSANOW, &tio), 0);
}

class SimulatorLine : public ::testing::Test
{
protected:
    void start(const qelsim::LineOptions& options, bool inCradle = true)
    {
        ASSERT_EQ(pipe2(m_commands, O_CLOEXEC), 0);
        ASSERT_EQ(pipe2(m_acks, O_CLOEXEC), 0);
        ASSERT_EQ(pipe2(m_stop, O_CLOEXEC), 0);
        m_ackBuffer = std::make_unique<FdBuffer>(m_acks[1]);
        m_ackStream = std::make_unique<std::ostream>(m_ackBuffer.get());
        m_simulator = std::make_unique<qelsim::Simulator>(m_line, m_terminal, options, *m_ackStream,
                                                          m_messages);
        m_simulator->setInCradle(inCradle);
        m_thread = std::thread([this] {
            m_simulator->run(m_commands[0], m_stop[0]);
            m_finished = true;
        });
        m_port = open(m_line.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(m_port, 0);
    }

    void TearDown() override
    {
        if (m_thread.joinable()) {
            close(m_commands[1]); // the end of the commands ends the run
            const auto deadline = Clock::now() + 30s;
            while (!m_finished && Clock::now() < deadline) {
                std::this_thread::sleep_for(5ms);
            }
            EXPECT_TRUE(m_finished) << "the end of the commands did not end the run";
            if (!m_finished) {
                [[maybe_unused]] const auto n = write(m_stop[1], "s", 1);
            }
            m_thread.join();
        }
        for (const int fd : {m_port, m_commands[0], m_acks[0], m_acks[1], m_stop[0], m_stop[1]}) {
            if (fd >= 0) {
                close(fd);
            }
        }
    }

    // Sends a command and waits for the simulator to confirm it took effect.
    void command(const std::string& word)
    {
        const std::string line = word + '\n';
        ASSERT_EQ(write(m_commands[1], line.data(), line.size()),
                  static_cast<ssize_t>(line.size()));
        std::string ack;
        pollfd pfd{m_acks[0], POLLIN, 0};
        while (ack.find('\n') == std::string::npos && poll(&pfd, 1, 30000) == 1) {
            char c = 0;
            ASSERT_EQ(read(m_acks[0], &c, 1), 1);
            ack += c;
        }
        ASSERT_EQ(ack, "ok " + line);
    }

    void send(const std::string& bytes)
    {
        ASSERT_EQ(write(m_port, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    // Everything that arrives until `count` bytes are in or the line stays quiet for `quiet`
    // (by default far longer than a busy machine holds up bytes that are coming).
    std::string receive(std::size_t count, std::chrono::milliseconds quiet = 10s)
    {
        std::string received;
        pollfd pfd{m_port, POLLIN, 0};
        char buffer[4096];
        while (received.size() < count && poll(&pfd, 1, static_cast<int>(quiet.count())) == 1) {
            const ssize_t n = read(m_port, buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            received.append(buffer, static_cast<std::size_t>(n));
        }
        return received;
    }

    // Seconds from sending `bytes` until all of their echo is back.
    double roundTrip(const std::string& bytes)
    {
        const auto t0 = Clock::now();
        send(bytes);
        const std::string echo = receive(bytes.size());
        EXPECT_EQ(echo, bytes);
        return std::chrono::duration<double>(Clock::now() - t0).count();
    }

    // The fastest of up to `runs` round trips, stopping at the first under `below` seconds: a
    // loaded machine only ever makes a run slower. Every run must take more than `atLeast`.
    double fastestRoundTrip(const std::string& bytes, double atLeast, double below, int runs = 3)
    {
        double fastest = std::numeric_limits<double>::max();
        for (int run = 0; run < runs && fastest >= below; ++run) {
            const double took = roundTrip(bytes);
            EXPECT_GT(took, atLeast);
            fastest = std::min(fastest, took);
        }
        return fastest;
    }

    // The bytes the PC sent that are still on the line, not yet taken in by the simulator.
    [[nodiscard]] int waitingOnTheLine() const
    {
        int waiting = 0;
        return ioctl(m_line.master(), FIONREAD, &waiting) == 0 ? waiting : -1;
    }

    qelsim::PseudoTerminal m_line;
    EchoTerminal m_terminal;
    std::ostringstream m_messages; // read only after the run ended
    std::unique_ptr<FdBuffer> m_ackBuffer;
    std::unique_ptr<std::ostream> m_ackStream;
    std::unique_ptr<qelsim::Simulator> m_simulator;
    std::thread m_thread;
    std::atomic<bool> m_finished{false};
    int m_commands[2] = {-1, -1};
    int m_acks[2] = {-1, -1};
    int m_stop[2] = {-1, -1};
    int m_port = -1;
};

} // namespace

TEST_F(SimulatorLine, AnswersOnlyWhileTheTerminalIsInTheCradle)
{
    start({}, false);
    const int resetsAtStart = m_terminal.resets;
    send("nobody hears this");
    EXPECT_EQ(receive(1, 300ms), "");

    command("place");
    send("hello");
    EXPECT_EQ(receive(5), "hello");

    command("remove");
    send("lost");
    EXPECT_EQ(receive(1, 300ms), "");

    command("place");
    send("back");
    EXPECT_EQ(receive(4), "back");
    EXPECT_EQ(m_terminal.resets - resetsAtStart, 3)
        << "each move drops the terminal's partial input";
}

TEST_F(SimulatorLine, LiftingTheTerminalCutsItsReplyShort)
{
    qelsim::LineOptions options;
    options.lineRate = true;
    start(options);
    const auto sent = Clock::now();
    send(std::string(960, 'x')); // a second's worth of reply at 9600 baud
    // Lifted once the reply is well under way.
    std::string received = receive(100);
    ASSERT_GE(received.size(), 100U);
    const std::size_t atLifting = received.size();
    const auto lifting = Clock::now();
    command("remove");
    const auto lifted = Clock::now();
    received += receive(960, 500ms);
    EXPECT_LT(received.size(), 960U);
    // After the lift nothing more is sent: only what the line carried until the simulator took
    // the command, and the few characters a transmitter holds.
    const double lineSeconds = std::chrono::duration<double>(lifted - lifting).count();
    EXPECT_LE(received.size(), atLifting + static_cast<std::size_t>(960 * lineSeconds) + 32);
    // The PC's bytes take their second on the line too; those arriving meanwhile reach nobody.
    // The simulator takes them in from when it first looks, which a loaded machine may delay:
    // wait until none is left on the line.
    std::this_thread::sleep_until(sent + 1200ms);
    const auto deadline = Clock::now() + 30s;
    while (waitingOnTheLine() > 0 && Clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_EQ(waitingOnTheLine(), 0);
    command("place");
    EXPECT_EQ(receive(1, 300ms), "") << "the rest of the reply must not come after placing";
}

TEST_F(SimulatorLine, NoiseIsTheSeededNoiseOfTheLine)
{
    qelsim::LineOptions options;
    options.noiseProbability = 0.1;
    options.seed = 5;
    start(options);
    std::string sent;
    for (int i = 0; i < 3000; ++i) {
        sent += static_cast<char>('a' + i % 26);
    }
    std::string expected;
    qelsim::LineNoise(0.1, 5).apply(sent, expected);
    ASSERT_NE(expected, sent);
    send(sent);
    EXPECT_EQ(receive(expected.size()), expected);
    EXPECT_EQ(receive(1, 300ms), "") << "nothing beyond the noisy copy";
}

TEST_F(SimulatorLine, PacesRepliesToTheSpeedThePortWasSetTo)
{
    qelsim::LineOptions options;
    options.lineRate = true;
    start(options);
    // 480 characters at 9600 baud, 8N1, take half a second; at 4800 baud, 240 do.
    EXPECT_LT(fastestRoundTrip(std::string(480, 'a'), 0.45, 0.8), 0.8);
    setSpeed(m_port, B4800);
    EXPECT_LT(fastestRoundTrip(std::string(240, 'b'), 0.45, 0.8), 0.8);
}

TEST_F(SimulatorLine, TakesInWhatThePortSendsAtTheLineSpeedToo)
{
    qelsim::LineOptions options;
    options.lineRate = true;
    start(options);
    // 480 characters at 9600 baud: the first arrives at once, the last half a second later. A
    // loaded machine may take in the last ones late, never early: the shortest of a few runs.
    Clock::duration shortest = Clock::duration::max();
    for (int run = 0; run < 3 && shortest >= 800ms; ++run) {
        m_terminal.firstHeard = 0;
        roundTrip(std::string(480, 'a'));
        const Clock::duration heard(m_terminal.lastHeard - m_terminal.firstHeard);
        EXPECT_GT(heard, 450ms);
        shortest = std::min(shortest, heard);
    }
    EXPECT_LT(shortest, 800ms);
}

TEST_F(SimulatorLine, WithoutLineRateRepliesComeAtOnce)
{
    start({});
    EXPECT_LT(fastestRoundTrip(std::string(4800, 'a'), 0.0, 0.3), 0.3);
}

TEST(PseudoTerminal, ReportsTheSpeedAndFormatTheOpenerSet)
{
    qelsim::PseudoTerminal line;
    EXPECT_EQ(line.lineSpeed().baud, 9600);
    EXPECT_EQ(line.lineSpeed().bitsPerCharacter, 10);

    const int port = open(line.slavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(port, 0);
    termios tio{};
    ASSERT_EQ(tcgetattr(port, &tio), 0);
    EXPECT_EQ(tio.c_lflag & (ECHO | ICANON), 0U) << "a fresh port must be raw";
    cfsetospeed(&tio, B38400);
    tio.c_cflag = (tio.c_cflag & ~CSIZE) | CS7 | PARENB | CSTOPB;
    ASSERT_EQ(tcsetattr(port, TCSANOW, &tio), 0);
    EXPECT_EQ(line.lineSpeed().baud, 38400);
    EXPECT_EQ(line.lineSpeed().bitsPerCharacter, 11);
    close(port);
}
