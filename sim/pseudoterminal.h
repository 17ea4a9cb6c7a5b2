#pragma once

#include <filesystem>
#include <string>

namespace qelsim {

/// Speed and character format the program at the other end set on the line.
struct LineSpeed
{
    int baud = 9600;
    int bitsPerCharacter = 10; // start bit, data bits, parity bit, stop bits
};

/// The simulator's end of a pseudo-terminal. The slave side plays the serial port the PC opens;
/// it starts raw at 9600 baud, 8N1, like a port that was never configured.
///
/// The simulator keeps a descriptor of the slave side open itself, so the line stays up while
/// programs open and close the port, as a cradle stays wired to the PC; a modem, which has to
/// see the port closed, lets go of it (releaseSlave). The master side is non-blocking.
class PseudoTerminal
{
public:
    /// Throws std::system_error.
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    [[nodiscard]] int master() const { return m_master; }
    [[nodiscard]] const std::string& slavePath() const { return m_slavePath; }

    /// What the opener of the slave side set; 9600 baud 8N1 when it cannot be read.
    [[nodiscard]] LineSpeed lineSpeed() const;

    /// Closes the simulator's own descriptor of the slave side, so that the master side reports
    /// a hang-up whenever no program holds the port. The settings made so far stay.
    void releaseSlave();

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
};

/// A symbolic link to the slave side under a fixed name (a stable "port" for scripts), removed
/// again when the simulator ends. A stale link left by an earlier run is replaced; anything else
/// at that path is left alone and reported.
class PortLink
{
public:
    /// Throws std::system_error naming the path.
    PortLink(std::filesystem::path link, const std::string& target);
    ~PortLink();
    PortLink(const PortLink&) = delete;
    PortLink& operator=(const PortLink&) = delete;

private:
    std::filesystem::path m_link;
    std::string m_target;
};

} // namespace qelsim
