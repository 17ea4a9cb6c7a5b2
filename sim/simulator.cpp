#include "simulator.h"

#include "linehandler.h"
#include "pseudoterminal.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <ostream>
#include <poll.h>
#include <unistd.h>

namespace qelsim {
namespace {

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

Simulator::Simulator(PseudoTerminal& line, LineHandler& terminal, const LineOptions& options,
                     std::ostream& acks, std::ostream& messages)
    : m_line(line)
    , m_terminal(terminal)
    , m_options(options)
    , m_acks(acks)
    , m_messages(messages)
    , m_noise(options.noiseProbability, options.seed)
{
}

void Simulator::setInCradle(bool inCradle)
{
    if (inCradle == m_inCradle) {
        return;
    }
    m_inCradle = inCradle;
    m_terminal.reset();
    // A terminal lifted off the cradle stops talking mid-reply: what it had not sent is lost.
    m_outgoing.clear();
    m_sentFront = 0;
}

void Simulator::run(int commandFd, int stopFd)
{
    using Clock = LinePacer::Clock;
    while (!m_quit) {
        auto now = Clock::now();
        sendQueued(now);

        std::array<pollfd, 3> fds{};
        nfds_t count = 0;
        const nfds_t lineIndex = count++;
        fds[lineIndex] = {m_line.master(), POLLIN, 0};
        int timeoutMs = -1;
        if (queued() > 0) {
            now = Clock::now();
            if (!m_options.lineRate || m_pacer.nextSlot() <= now) {
                fds[lineIndex].events |= POLLOUT;
            } else {
                const auto wait =
                    std::chrono::ceil<std::chrono::milliseconds>(m_pacer.nextSlot() - now);
                timeoutMs = static_cast<int>(wait.count());
            }
        }
        nfds_t commandIndex = count;
        if (commandFd >= 0) {
            fds[count++] = {commandFd, POLLIN, 0};
        }
        nfds_t stopIndex = count;
        if (stopFd >= 0) {
            fds[count++] = {stopFd, POLLIN, 0};
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
        if ((fds[lineIndex].revents & POLLIN) != 0) {
            readLine(Clock::now());
        } else if ((fds[lineIndex].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
            m_messages << "qel-sim: the line failed" << std::endl;
            return;
        }
        if (commandFd >= 0 && fds[commandIndex].revents != 0) {
            readCommands(commandFd);
        }
    }
}

void Simulator::readLine(LinePacer::Clock::time_point now)
{
    std::array<char, 4096> buffer{};
    const ssize_t n = read(m_line.master(), buffer.data(), buffer.size());
    if (n > 0) {
        routeReceived(std::string_view(buffer.data(), static_cast<std::size_t>(n)), now);
    }
}

void Simulator::routeReceived(std::string_view bytes, LinePacer::Clock::time_point now)
{
    // Off the cradle nothing listens and nothing answers: that is how the PC sees no terminal.
    if (!m_inCradle) {
        return;
    }
    std::string reply;
    m_terminal.onBytes(bytes, reply);
    queueForSending(reply, now);
}

void Simulator::queueForSending(std::string_view bytes, LinePacer::Clock::time_point now)
{
    if (bytes.empty()) {
        return;
    }
    if (queued() == 0) {
        m_outgoing.clear();
        m_sentFront = 0;
        m_pacer.start(now);
    }
    m_noise.apply(bytes, m_outgoing);
}

void Simulator::sendQueued(LinePacer::Clock::time_point now)
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
        m_outgoing.clear();
        m_sentFront = 0;
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
    if (word == "place" || word == "remove") {
        setInCradle(word == "place");
    } else if (word == "call" || word == "hangup") {
        m_messages << "qel-sim: " << word << ": the modem is not available yet" << std::endl;
    } else {
        m_messages << "qel-sim: unknown command '" << word
                   << "' (commands: place, remove, call, hangup, quit)" << std::endl;
        return;
    }
    m_acks << "ok " << word << std::endl;
}

} // namespace qelsim
