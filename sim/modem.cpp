#include "modem.h"

#include <cctype>
#include <ostream>

namespace qelsim {
namespace {

constexpr std::string_view kOk = "\r\nOK\r\n";
constexpr std::string_view kError = "\r\nERROR\r\n";
constexpr std::string_view kRing = "\r\nRING\r\n";
constexpr std::string_view kConnect = "\r\nCONNECT 9600\r\n";
constexpr std::string_view kNoCarrier = "\r\nNO CARRIER\r\n";

constexpr int kFactoryDtrMode = 2;

char upper(char c)
{
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Reads a decimal number at `pos` (none there reads as 0, as a modem takes "ATH" for "ATH0").
// False when it does not fit in 0..255.
bool number(std::string_view line, std::size_t& pos, int& value)
{
    value = 0;
    while (pos < line.size() && isDigit(line[pos])) {
        value = value * 10 + (line[pos] - '0');
        if (value > 255) {
            return false;
        }
        ++pos;
    }
    return true;
}

// A command that takes no argument but "0", or no digit at all; `expected` is the only value
// the simulated modem supports.
bool flag(std::string_view line, std::size_t& pos, int expected)
{
    int value = 0;
    const bool given = pos < line.size() && isDigit(line[pos]);
    return number(line, pos, value) && (given ? value == expected : expected == 0);
}

std::string threeDigits(int value)
{
    std::string text = std::to_string(value);
    return std::string(3 - text.size(), '0') + text;
}

} // namespace

Modem::Modem(LineHandler& terminal, EventLog events, std::ostream& messages)
    : m_terminal(terminal)
    , m_events(std::move(events))
    , m_messages(messages)
{
    factoryReset();
}

void Modem::factoryReset()
{
    m_registers.fill(0);
    m_dtrMode = kFactoryDtrMode;
}

void Modem::onBytes(std::string_view in, std::string& out)
{
    if (m_state == State::Connected) {
        m_terminal.onBytes(in, out);
        return;
    }
    takeCommandBytes(in, out);
}

void Modem::reset()
{
    m_terminal.reset();
}

std::optional<LineHandler::Clock::time_point> Modem::wakeAt() const
{
    switch (m_state) {
    case State::Ringing:
        return m_nextRing;
    case State::Connected:
        return m_terminal.wakeAt();
    case State::Command:
        break;
    }
    return std::nullopt;
}

void Modem::onTime(Clock::time_point now, std::string& out)
{
    if (m_state == State::Connected) {
        m_terminal.onTime(now, out);
        return;
    }
    if (m_state != State::Ringing || now < m_nextRing) {
        return;
    }
    if (m_rings >= kRingsBeforeGivingUp) {
        m_state = State::Command;
        m_messages << "qel-sim: nobody answered the call; the caller gave up after "
                   << kRingsBeforeGivingUp << " rings" << std::endl;
        return;
    }
    ring(now, out);
}

bool Modem::call(Clock::time_point now, std::string& out)
{
    if (m_state != State::Command) {
        return false;
    }
    m_state = State::Ringing;
    m_rings = 0;
    ring(now, out);
    return true;
}

void Modem::ring(Clock::time_point now, std::string& out)
{
    ++m_rings;
    out += kRing;
    // With &D0 the modem ignores DTR; otherwise it does not answer while the port is closed.
    const bool dtrAllows = m_portOpen || m_dtrMode == 0;
    const int answerAfter = m_registers[0];
    if (answerAfter > 0 && m_rings >= answerAfter && dtrAllows) {
        connect(out);
        return;
    }
    m_nextRing = now + kRingInterval;
}

void Modem::connect(std::string& out)
{
    m_state = State::Connected;
    // The terminal at the far end starts listening afresh.
    m_terminal.reset();
    out += kConnect;
    m_events("CONNECT");
}

void Modem::hangUp(std::string& out)
{
    if (m_state == State::Connected) {
        m_terminal.reset();
        out += kNoCarrier;
        m_events("HANGUP");
    }
    m_state = State::Command;
}

void Modem::setPortOpen(bool open, std::string& out)
{
    if (open == m_portOpen) {
        return;
    }
    m_portOpen = open;
    // Whoever opens the port next starts a command line of their own.
    m_line.clear();
    m_lineTooLong = false;
    if (!open && m_dtrMode != 0 && m_state == State::Connected) {
        hangUp(out);
    }
}

void Modem::takeCommandBytes(std::string_view in, std::string& out)
{
    for (const char c : in) {
        if (c == '\n') {
            continue;
        }
        // Hunting for "AT": everything before it is dropped.
        if (m_line.empty()) {
            if (upper(c) == 'A') {
                m_line = c;
            }
            continue;
        }
        if (m_line.size() == 1) {
            if (upper(c) == 'T') {
                m_line += c;
            } else if (upper(c) == 'A') {
                m_line = c;
            } else {
                m_line.clear();
            }
            continue;
        }
        if (c == '\r') {
            execute(m_line, out);
            m_line.clear();
            m_lineTooLong = false;
            continue;
        }
        if (m_line.size() < kMaxCommandLine) {
            m_line += c;
        } else {
            m_lineTooLong = true;
        }
    }
}

void Modem::execute(std::string_view line, std::string& out)
{
    m_events(line);
    if (m_lineTooLong) {
        out += kError;
        return;
    }
    std::string info; // what S-register queries print before the final OK
    std::size_t pos = 2;
    while (pos < line.size()) {
        const char command = upper(line[pos++]);
        bool ok = true;
        int value = 0;
        switch (command) {
        case ' ':
            break;
        case 'A':
            // Answer now; the rest of the line is not read, as on a Hayes modem.
            if (m_state == State::Ringing) {
                connect(out);
            } else {
                out += kNoCarrier;
            }
            return;
        case 'H':
            ok = flag(line, pos, 0); // on hook: in command mode there is no call to end
            break;
        case 'Z':
            ok = flag(line, pos, 0);
            if (ok) {
                factoryReset();
            }
            break;
        case 'E':
            ok = flag(line, pos, 0); // no echo, and no way to turn it on
            break;
        case 'Q':
            ok = flag(line, pos, 0); // results are always sent
            break;
        case 'V':
            ok = flag(line, pos, 1); // results are always words
            break;
        case '&': {
            const char sub = pos < line.size() ? upper(line[pos++]) : '\0';
            if (sub == 'D') {
                ok = number(line, pos, value) && value <= 3;
                if (ok) {
                    m_dtrMode = value;
                }
            } else if (sub == 'F') {
                ok = flag(line, pos, 0);
                if (ok) {
                    factoryReset();
                }
            } else {
                ok = false;
            }
            break;
        }
        case 'S': {
            int reg = 0;
            ok = number(line, pos, reg) && pos < line.size();
            if (!ok) {
                break;
            }
            const char op = line[pos++];
            if (op == '=') {
                ok = number(line, pos, value);
                if (ok) {
                    m_registers[static_cast<std::size_t>(reg)] = static_cast<std::uint8_t>(value);
                }
            } else if (op == '?') {
                info += "\r\n" + threeDigits(m_registers[static_cast<std::size_t>(reg)]) + "\r\n";
            } else {
                ok = false;
            }
            break;
        }
        default:
            ok = false;
            break;
        }
        if (!ok) {
            out += kError;
            return;
        }
    }
    out += info;
    out += kOk;
}

} // namespace qelsim
