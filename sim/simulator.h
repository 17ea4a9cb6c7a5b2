#pragma once

#include "linehandler.h"
#include "linenoise.h"
#include "linepacer.h"
#include "modem.h"

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

namespace qelsim {

class PseudoTerminal;

struct LineOptions
{
    double noiseProbability = 0.0; // each byte sent is lost or changed with this probability
    std::uint64_t seed = 1;
    bool lineRate = false; // carry bytes both ways no faster than the speed the PC set
    bool modem = false;    // a modem sits between the line and the terminal
};

/// Serves the line: bytes from the PC go to the terminal while it sits in the cradle, its replies
/// go back through the line's noise and pacing; commands (place, remove, call, hangup, quit)
/// arrive one a line on a descriptor.
///
/// Received bytes pass through a chain of stages: the modem when there is one, then the cradle,
/// which lets them reach the terminal only while it is in the cradle. With a modem the
/// simulator does not hold the port open itself, so it sees the PC close it (the pseudo-terminal
/// reports a hang-up when its last opener goes), which is how the modem's call ends from the
/// PC's side: a pseudo-terminal has no DTR line.
class Simulator
{
public:
    /// `acks` receives "ok <command>" once a command has taken effect, so a script can tell;
    /// `messages` receives complaints about commands and the line; `events` receives the
    /// modem's lines for events.log.
    Simulator(PseudoTerminal& line, LineHandler& terminal, const LineOptions& options,
              std::ostream& acks, std::ostream& messages, EventLog events = {});
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    void setInCradle(bool inCradle);
    [[nodiscard]] bool inCradle() const;

    /// Serves until `quit`, the end of the commands, or `stopFd` (when given) becoming readable.
    void run(int commandFd, int stopFd = -1);

private:
    class Cradle;
    using TimePoint = LinePacer::Clock::time_point;

    [[nodiscard]] LineHandler& firstStage();
    [[nodiscard]] std::size_t receiveAllowance(TimePoint now);
    /// Reads what the line holds, within the receive pacing unless `all`.
    void readLine(TimePoint now, bool all = false);
    void watchClosedPort();
    void portClosed();
    void readCommands(int fd);
    void command(std::string_view line);
    void queueForSending(std::string_view bytes, TimePoint now);
    void sendQueued(TimePoint now);
    void dropQueued();
    [[nodiscard]] std::size_t queued() const { return m_outgoing.size() - m_sentFront; }

    PseudoTerminal& m_line;
    std::unique_ptr<Cradle> m_cradle;
    std::unique_ptr<Modem> m_modem;
    LineOptions m_options;
    std::ostream& m_acks;
    std::ostream& m_messages;
    LineNoise m_noise;
    LinePacer m_pacer;
    LinePacer m_receivePacer;
    bool m_receiveIdle = true; // the last read emptied the line
    bool m_portOpen = true;    // somebody holds the port (with a modem the simulator does not)
    bool m_quit = false;
    std::string m_commandBuffer;
    std::string m_outgoing; // bytes on their way to the PC, from m_sentFront on
    std::size_t m_sentFront = 0;
};

} // namespace qelsim
