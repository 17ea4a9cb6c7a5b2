#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vorlak::protocol {

/// Every frame starts with this byte (ASCII STX).
inline constexpr std::uint8_t kStartByte = 0x02;
/// Start byte, payload length (2 bytes), sequence number, message type.
inline constexpr std::size_t kHeaderSize = 5;
/// The CRC-16 that ends every frame.
inline constexpr std::size_t kTrailerSize = 2;
/// Largest payload a frame may carry; a header announcing more is line noise.
inline constexpr std::size_t kMaxPayload = 4608;
inline constexpr std::size_t kMaxFrameSize = kHeaderSize + kMaxPayload + kTrailerSize;

/// One frame on the line:
///   STX | length (u16 LE) | sequence (u8) | type (u8) | payload (length bytes) | CRC-16 (u16 LE)
/// The CRC covers everything between the start byte and the CRC itself.
struct Frame
{
    std::uint8_t sequence = 0;
    std::uint8_t type = 0;
    std::string payload;

    friend bool operator==(const Frame&, const Frame&) = default;
};

/// The bytes of `frame` on the line. Throws std::length_error for a payload above kMaxPayload.
[[nodiscard]] std::string encodeFrame(const Frame& frame);

/// Finds frames in a byte stream that may hold garbage, lost bytes and changed bytes.
///
/// Bytes are pushed as they arrive, in pieces of any size. A start byte begins a candidate frame;
/// a candidate whose length is out of range or whose CRC does not match is given up, and the
/// search starts again at the byte after its start byte, so a true frame hidden behind a false
/// start is still found.
class FrameDecoder
{
public:
    void push(std::string_view bytes);
    /// The next complete, valid frame, if one has arrived.
    [[nodiscard]] std::optional<Frame> next();
    /// Forgets everything buffered (the counters stay).
    void reset();
    /// The line has gone quiet: a candidate still waiting for bytes is a false start (a 0x02 in
    /// noise announcing a length that never comes). It is given up, so that the frames held
    /// behind it come out of next().
    void dropIncomplete();
    /// Candidates announcing a payload above `limit` (at most kMaxPayload) are given up at once:
    /// a receiver that knows how long the frames it waits for can be stops a false start from
    /// holding back the true frames behind it.
    void setMaxPayload(std::size_t limit);

    /// Bytes skipped while looking for a start byte, since construction.
    [[nodiscard]] std::uint64_t skippedBytes() const { return m_skipped; }
    /// Candidate frames given up (bad length or CRC), since construction.
    [[nodiscard]] std::uint64_t rejectedFrames() const { return m_rejected; }
    /// Bytes held back as the start of a frame still incomplete.
    [[nodiscard]] std::size_t pending() const { return m_buffer.size() - m_begin; }

private:
    void consume(std::size_t count);

    std::string m_buffer;
    std::size_t m_begin = 0;
    std::size_t m_maxPayload = kMaxPayload;
    std::uint64_t m_skipped = 0;
    std::uint64_t m_rejected = 0;
};

} // namespace vorlak::protocol
