#include "simulator.h"

#include "pseudoterminal.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <ostream>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace qelsim {
namespace {

constexpr std::size_t kReadSize = 4096;

// While nobody holds the port the pseudo-terminal reports a hang-up at every look, so it is
// left out of the wait and looked at this often to notice the next opener.
constexpr std::chrono::milliseconds kClosedPortLook{20};

std::string_view trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

} // namespace

/// The terminal's cradle: bytes reach the terminal, and its timers run, only while it sits in
/// it. Off the cradle nothing listens and nothing answers: that is how the PC sees no terminal.
class Simulator::Cradle : public LineHandler
{
public:
    explicit Cradle(LineHandler& terminal)
        : m_terminal(terminal)
    {
    }

    void onBytes(std::string_view in, std::string& out) override
    {
        if (inCradle) {
            m_terminal.onBytes(in, out);
        }
    }
    void reset() override { m_terminal.reset(); }
    [[nodiscard]] std::optional<Clock::time_point> wakeAt() const override
    {
        return inCradle ? m_terminal.wakeAt() : std::nullopt;
    }
    void onTime(Clock::time_point now, std::string& out) override
    {
        if (inCradle) {
            m_terminal.onTime(now, out);
        }
    }

    bool inCradle = true;

private:
    LineHandler& m_terminal;
};

Simulator::Simulator(PseudoTerminal& line, LineHandler& terminal, const LineOptions& options,
                     std::ostream& acks, std::ostream& messages, EventLog events)
    : m_line(line)
    , m_cradle(std::make_unique<Cradle>(terminal))
    , m_options(options)
    , m_acks(acks)
    , m_messages(messages)
    , m_noise(options.noiseProbability, options.seed)
    , m_receivePacer(static_cast<int>(kReadSize))
{
    if (options.modem) {
        if (!events) {
            events = [](std::string_view) {};
        }
        m_modem = std::make_unique<Modem>(*m_cradle, std::move(events), messages);
        // The PC closing the port must be seen: the simulator lets go of it. Until somebody
        // opens it, the port counts as closed.
        m_line.releaseSlave();
        m_portOpen = false;
    }
}

Simulator::~Simulator() = default;

LineHandler& Simulator::firstStage()
{
    if (m_modem) {
        return *m_modem;
    }
    return *m_cradle;
}

bool Simulator::inCradle() const
{
    return m_cradle->inCradle;
}

void Simulator::setInCradle(bool inCradle)
{
    if (inCradle == m_cradle->inCradle) {
        return;
    }
    m_cradle->inCradle = inCradle;
    m_cradle->reset();
    // A terminal lifted off the cradle stops talking mid-reply: what it had not sent is lost.
    dropQueued();
}

void Simulator::run(int commandFd, int stopFd)
{
    using Clock = LinePacer::Clock;
    while (!m_quit) {
        auto now = Clock::now();
        if (m_modem && !m_portOpen) {
            watchClosedPort();
        }
        sendQueued(now);

        std::optional<TimePoint> wake = firstStage().wakeAt();
        const auto wakeBy = [&wake](TimePoint at) {
            if (!wake || at < *wake) {
                wake = at;
            }
        };
        std::array<pollfd, 3> fds{};
        nfds_t count = 0;
        const nfds_t lineIndex = count;
        if (m_portOpen) {
            short events = 0;
            if (receiveAllowance(now) > 0) {
                events |= POLLIN;
            } else {
                wakeBy(m_receivePacer.nextSlot());
            }
            if (queued() > 0) {
                if (!m_options.lineRate || m_pacer.nextSlot() <= now) {
                    events |= POLLOUT;
                } else {
                    wakeBy(m_pacer.nextSlot());
                }
            }
            fds[count++] = {m_line.master(), events, 0};
        } else {
            wakeBy(now + kClosedPortLook);
        }
        nfds_t commandIndex = count;
        if (commandFd >= 0) {
            fds[count++] = {commandFd, POLLIN, 0};
        }
        nfds_t stopIndex = count;
        if (stopFd >= 0) {
            fds[count++] = {stopFd, POLLIN, 0};
        }
        int timeoutMs = -1;
        if (wake) {
            const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*wake - Clock::now());
            timeoutMs = static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, wait.count()));
        }

        if (poll(fds.data(), count, timeoutMs) < 0) {
            if (errno == EINTR) {
                continue;
            }
            m_messages << "qel-sim: waiting for the line failed: " << std::strerror(errno)
                       << std::endl;
            return;
        }
        if (stopFd >= 0 && fds[stopIndex].revents != 0) {
            return;
        }
        if (m_portOpen) {
            const short revents = fds[lineIndex].revents;
            if ((revents & POLLIN) != 0) {
                readLine(Clock::now());
            }
            if (m_modem && (revents & POLLHUP) != 0) {
                portClosed();
            } else if ((revents & POLLIN) == 0 && (revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
                m_messages << "qel-sim: the line failed" << std::endl;
                return;
            }
        }
        if (const auto due = firstStage().wakeAt(); due && *due <= Clock::now()) {
            // The modem answers a ring only with the port open: know whether it is.
            if (m_modem && !m_portOpen) {
                watchClosedPort();
            }
            // Bytes that came meanwhile count first: a pause is over only if none did.
            if (m_portOpen) {
                readLine(Clock::now());
            }
            now = Clock::now();
            std::string reply;
            firstStage().onTime(now, reply);
            queueForSending(reply, now);
        }
        if (commandFd >= 0 && fds[commandIndex].revents != 0) {
            readCommands(commandFd);
        }
    }
}

std::size_t Simulator::receiveAllowance(TimePoint now)
{
    if (!m_options.lineRate) {
        return kReadSize;
    }
    // Read every time: the PC may change the speed while the simulator runs.
    const LineSpeed speed = m_line.lineSpeed();
    m_receivePacer.setSpeed(speed.baud, speed.bitsPerCharacter);
    if (m_receiveIdle) {
        // Bytes arriving on an idle line start coming in now, one character time apart.
        m_receivePacer.start(now);
    }
    return m_receivePacer.allowance(now, kReadSize);
}

void Simulator::readLine(TimePoint now, bool all)
{
    std::array<char, kReadSize> buffer{};
    do {
        const std::size_t allowed = all ? buffer.size() : receiveAllowance(now);
        if (allowed == 0) {
            return;
        }
        const ssize_t n = read(m_line.master(), buffer.data(), allowed);
        if (n <= 0) {
            m_receiveIdle = true;
            return;
        }
        if (m_options.lineRate && !all) {
            m_receivePacer.sent(static_cast<std::size_t>(n));
            int waiting = 0;
            m_receiveIdle = ioctl(m_line.master(), FIONREAD, &waiting) != 0 || waiting <= 0;
        }
        std::string reply;
        firstStage().onBytes(std::string_view(buffer.data(), static_cast<std::size_t>(n)), reply);
        queueForSending(reply, now);
    } while (all);
}

void Simulator::watchClosedPort()
{
    pollfd pfd{m_line.master(), POLLIN, 0};
    if (poll(&pfd, 1, 0) < 0) {
        return;
    }
    const auto now = LinePacer::Clock::now();
    if ((pfd.revents & POLLHUP) == 0) {
        m_portOpen = true;
        m_receiveIdle = true;
        std::string reply;
        m_modem->setPortOpen(true, reply);
        queueForSending(reply, now);
    } else if ((pfd.revents & POLLIN) != 0) {
        // Somebody opened the port, wrote and closed it again between two looks: what they
        // wrote still arrived.
        readLine(now, true);
    }
}

void Simulator::portClosed()
{
    const auto now = LinePacer::Clock::now();
    readLine(now, true); // what the PC wrote before closing is still on the line
    m_portOpen = false;
    dropQueued();
    std::string reply;
    m_modem->setPortOpen(false, reply); // a NO CARRIER that nobody hears
}

void Simulator::queueForSending(std::string_view bytes, TimePoint now)
{
    // Nobody holds the port: what would be sent is heard by nobody.
    if (bytes.empty() || !m_portOpen) {
        return;
    }
    if (queued() == 0) {
        m_outgoing.clear();
        m_sentFront = 0;
        m_pacer.start(now);
    }
    m_noise.apply(bytes, m_outgoing);
}

void Simulator::dropQueued()
{
    m_outgoing.clear();
    m_sentFront = 0;
}

void Simulator::sendQueued(TimePoint now)
{
    if (queued() == 0) {
        return;
    }
    std::size_t allowed = queued();
    if (m_options.lineRate) {
        // Read every time: the PC may change the speed while the simulator runs.
        const LineSpeed speed = m_line.lineSpeed();
        m_pacer.setSpeed(speed.baud, speed.bitsPerCharacter);
        allowed = m_pacer.allowance(now, allowed);
    }
    if (allowed == 0) {
        return;
    }
    const ssize_t n = write(m_line.master(), m_outgoing.data() + m_sentFront, allowed);
    if (n <= 0) {
        return; // the PC's side is full; poll tells when it has room again
    }
    m_sentFront += static_cast<std::size_t>(n);
    if (m_options.lineRate) {
        m_pacer.sent(static_cast<std::size_t>(n));
    }
    if (queued() == 0) {
        dropQueued();
    }
}

void Simulator::readCommands(int fd)
{
    std::array<char, 1024> buffer{};
    const ssize_t n = read(fd, buffer.data(), buffer.size());
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
        return;
    }
    if (n <= 0) {
        // End of the commands: a last line without its line break still counts.
        if (!trimmed(m_commandBuffer).empty()) {
            command(m_commandBuffer);
        }
        m_quit = true;
        return;
    }
    m_commandBuffer.append(buffer.data(), static_cast<std::size_t>(n));
    std::size_t start = 0;
    for (auto end = m_commandBuffer.find('\n'); end != std::string::npos && !m_quit;
         end = m_commandBuffer.find('\n', start)) {
        command(std::string_view(m_commandBuffer).substr(start, end - start));
        start = end + 1;
    }
    m_commandBuffer.erase(0, start);
}

void Simulator::command(std::string_view line)
{
    const std::string_view word = trimmed(line);
    if (word.empty()) {
        return;
    }
    if (word == "quit") {
        m_quit = true;
        return;
    }
    const auto now = LinePacer::Clock::now();
    if (word == "place" || word == "remove") {
        setInCradle(word == "place");
    } else if ((word == "call" || word == "hangup") && !m_modem) {
        m_messages << "qel-sim: " << word
                   << ": there is no modem on this line (start qel-sim with --modem)" << std::endl;
    } else if (word == "call") {
        if (!m_portOpen) {
            watchClosedPort(); // a program that has just opened the port hears the first ring
        }
        std::string reply;
        if (!m_modem->call(now, reply)) {
            m_messages << "qel-sim: call: the line is busy, a call is "
                       << (m_modem->connected() ? "up" : "ringing") << " already" << std::endl;
            return;
        }
        queueForSending(reply, now);
    } else if (word == "hangup") {
        std::string reply;
        m_modem->hangUp(reply);
        queueForSending(reply, now);
    } else {
        m_messages << "qel-sim: unknown command '" << word
                   << "' (commands: place, remove, call, hangup, quit)" << std::endl;
        return;
    }
    m_acks << "ok " << word << std::endl;
}

} // namespace qelsim
