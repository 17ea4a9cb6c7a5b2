#pragma once

#include "linenoise.h"
#include "linepacer.h"

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

namespace qelsim {

class LineHandler;
class PseudoTerminal;

struct LineOptions
{
    double noiseProbability = 0.0; // each byte sent is lost or changed with this probability
    std::uint64_t seed = 1;
    bool lineRate = false; // pace what is sent to the speed the PC set on the line
    bool modem = false;    // a modem was asked for (not available yet)
};

/// Serves the line: bytes from the PC go to the terminal while it sits in the cradle, its replies
/// go back through the line's noise and pacing; commands (place, remove, call, hangup, quit)
/// arrive one a line on a descriptor.
///
/// The route of received bytes is decided in one place (routeReceived), where a modem in front
/// of the terminal will later take its turn.
class Simulator
{
public:
    /// `acks` receives "ok <command>" once a command has taken effect, so a script can tell;
    /// `messages` receives complaints about commands and the line.
    Simulator(PseudoTerminal& line, LineHandler& terminal, const LineOptions& options,
              std::ostream& acks, std::ostream& messages);

    void setInCradle(bool inCradle);
    [[nodiscard]] bool inCradle() const { return m_inCradle; }

    /// Serves until `quit`, the end of the commands, or `stopFd` (when given) becoming readable.
    void run(int commandFd, int stopFd = -1);

private:
    void readLine(LinePacer::Clock::time_point now);
    void readCommands(int fd);
    void command(std::string_view line);
    void routeReceived(std::string_view bytes, LinePacer::Clock::time_point now);
    void queueForSending(std::string_view bytes, LinePacer::Clock::time_point now);
    void sendQueued(LinePacer::Clock::time_point now);
    [[nodiscard]] std::size_t queued() const { return m_outgoing.size() - m_sentFront; }

    PseudoTerminal& m_line;
    LineHandler& m_terminal;
    LineOptions m_options;
    std::ostream& m_acks;
    std::ostream& m_messages;
    LineNoise m_noise;
    LinePacer m_pacer;
    bool m_inCradle = true;
    bool m_quit = false;
    std::string m_commandBuffer;
    std::string m_outgoing; // bytes on their way to the PC, from m_sentFront on
    std::size_t m_sentFront = 0;
};

} // namespace qelsim
