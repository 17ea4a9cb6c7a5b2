#pragma once

#include "linehandler.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>

namespace qelsim {

/// Receives one line for events.log.
using EventLog = std::function<void(std::string_view)>;

/// A Hayes modem on the PC's serial port, with the terminal at the far end of the telephone line.
///
/// In command mode it takes AT command lines (ended by CR; LF is ignored, and anything before
/// "AT" is dropped, as a modem hunts for "AT") and answers each with a result framed by CR LF:
/// "\r\nOK\r\n", or "\r\nERROR\r\n" for a command it does not know. It does not echo commands
/// (as after ATE0). Commands: &D0-&D3, &F, Z, E0, Q0, V1, H0, A, Sn=v (register n, value
/// 0-255) and Sn? (the value as three digits); S0 is the number of rings before answering
/// (0: no auto-answer). Every command line is logged as sent.
///
/// A call (call()) rings "RING" every kRingInterval. With S0 set and the port open (DTR up)
/// the modem answers once that many rings have sounded: "CONNECT 9600", logged CONNECT, and
/// from then on bytes pass both ways between the line and the terminal. Unanswered, the caller
/// gives up after kRingsBeforeGivingUp rings. The call ends with "NO CARRIER", logged HANGUP,
/// when the PC closes the port (its DTR drops) or the far end hangs up (hangUp()); the modem is
/// back in command mode and keeps its registers, so it answers the next call as before. There is
/// no escape to command mode during a call.
class Modem : public LineHandler
{
public:
    static constexpr std::chrono::milliseconds kRingInterval{1000};
    static constexpr int kRingsBeforeGivingUp = 5;
    /// A longer command line is answered ERROR.
    static constexpr std::size_t kMaxCommandLine = 255;

    /// `terminal` is the far end of a call; `messages` takes notes for the user (an unanswered
    /// call).
    Modem(LineHandler& terminal, EventLog events, std::ostream& messages);

    void onBytes(std::string_view in, std::string& out) override;
    void reset() override;
    [[nodiscard]] std::optional<Clock::time_point> wakeAt() const override;
    void onTime(Clock::time_point now, std::string& out) override;

    /// A call comes in: rings at once. False when the line is busy (ringing or in a call).
    [[nodiscard]] bool call(Clock::time_point now, std::string& out);
    /// The far end hangs up: ends a call in progress (NO CARRIER) or stops the ringing.
    void hangUp(std::string& out);
    /// The PC opened or closed the port, which raises or drops DTR. Dropping it ends a call.
    void setPortOpen(bool open, std::string& out);

    [[nodiscard]] bool connected() const { return m_state == State::Connected; }
    [[nodiscard]] bool ringing() const { return m_state == State::Ringing; }

private:
    enum class State { Command, Ringing, Connected };

    void takeCommandBytes(std::string_view in, std::string& out);
    void execute(std::string_view line, std::string& out);
    void ring(Clock::time_point now, std::string& out);
    void connect(std::string& out);
    void factoryReset();

    LineHandler& m_terminal;
    EventLog m_events;
    std::ostream& m_messages;

    State m_state = State::Command;
    bool m_portOpen = false;
    std::array<std::uint8_t, 256> m_registers{};
    int m_dtrMode = 2; // &D: what a DTR drop does; every mode but &D0 hangs up here
    std::string m_line;
    bool m_lineTooLong = false;
    int m_rings = 0;
    Clock::time_point m_nextRing{};
};

} // namespace qelsim
