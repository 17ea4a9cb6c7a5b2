#pragma once

#include <chrono>
#include <cstddef>

namespace qelsim {

/// Paces bytes to the speed of a serial line: each character takes its start, data, parity and
/// stop bits at the line's baud rate (10 bits at 9600 baud: 960 bytes a second). Time is passed
/// in, so the pacing can be checked without waiting.
class LinePacer
{
public:
    using Clock = std::chrono::steady_clock;
    using Duration = std::chrono::duration<double>;

    /// A sender woken late catches up at most this many characters at once, like the transmit
    /// FIFO of a serial port: a stall must not turn into a long burst above the line speed.
    static constexpr int kTransmitCatchUp = 16;

    /// `catchUpCharacters`: how many characters that were due while nobody took them may go at
    /// once. A transmitter holds few (kTransmitCatchUp); a receiver's buffer fills at the line's
    /// speed whether read or not, so on that side it is the buffer's size.
    explicit LinePacer(int catchUpCharacters = kTransmitCatchUp)
        : m_catchUp(catchUpCharacters)
    {
    }

    /// Sets the line's speed; takes effect for the bytes not yet sent.
    void setSpeed(int baud, int bitsPerCharacter);
    [[nodiscard]] Duration characterTime() const { return m_characterTime; }

    /// The sender had nothing to send and now has: the line starts from idle at `now`.
    void start(Clock::time_point now);
    /// How many of `wanted` bytes may go onto the line by `now`.
    [[nodiscard]] std::size_t allowance(Clock::time_point now, std::size_t wanted);
    /// `count` bytes went onto the line.
    void sent(std::size_t count);
    /// When the next byte may go.
    [[nodiscard]] Clock::time_point nextSlot() const { return m_next; }

private:
    int m_catchUp;
    Duration m_characterTime{10.0 / 9600.0};
    Clock::time_point m_next{};
};

} // namespace qelsim
