#include "frame.h"

#include "crc16.h"

#include <algorithm>
#include <stdexcept>

namespace vorlak::protocol {
namespace {

std::uint16_t readU16(std::string_view bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(bytes[at]) |
                                      (static_cast<std::uint8_t>(bytes[at + 1]) << 8));
}

void appendU16(std::string& out, std::uint16_t value)
{
    out += static_cast<char>(value & 0xFFU);
    out += static_cast<char>(value >> 8);
}

} // namespace

std::string encodeFrame(const Frame& frame)
{
    if (frame.payload.size() > kMaxPayload) {
        throw std::length_error("frame payload too long");
    }
    std::string out;
    out.reserve(kHeaderSize + frame.payload.size() + kTrailerSize);
    out += static_cast<char>(kStartByte);
    appendU16(out, static_cast<std::uint16_t>(frame.payload.size()));
    out += static_cast<char>(frame.sequence);
    out += static_cast<char>(frame.type);
    out += frame.payload;
    appendU16(out, crc16(std::string_view(out).substr(1)));
    return out;
}

void FrameDecoder::push(std::string_view bytes)
{
    // Keep the buffer from growing without bound on a long stream: drop what was consumed.
    if (m_begin > 0 && m_begin >= m_buffer.size() / 2) {
        m_buffer.erase(0, m_begin);
        m_begin = 0;
    }
    m_buffer.append(bytes);
}

std::optional<Frame> FrameDecoder::next()
{
    for (;;) {
        const std::string_view data = std::string_view(m_buffer).substr(m_begin);
        const std::size_t start = data.find(static_cast<char>(kStartByte));
        if (start == std::string_view::npos) {
            m_skipped += data.size();
            consume(data.size());
            return std::nullopt;
        }
        m_skipped += start;
        consume(start);
        const std::string_view candidate = data.substr(start);
        if (candidate.size() < kHeaderSize) {
            return std::nullopt;
        }
        const std::size_t length = readU16(candidate, 1);
        if (length > m_maxPayload) {
            ++m_rejected;
            consume(1);
            continue;
        }
        const std::size_t total = kHeaderSize + length + kTrailerSize;
        if (candidate.size() < total) {
            return std::nullopt;
        }
        const std::uint16_t expected = readU16(candidate, kHeaderSize + length);
        if (crc16(candidate.substr(1, kHeaderSize - 1 + length)) != expected) {
            ++m_rejected;
            consume(1);
            continue;
        }
        Frame frame;
        frame.sequence = static_cast<std::uint8_t>(candidate[3]);
        frame.type = static_cast<std::uint8_t>(candidate[4]);
        frame.payload.assign(candidate.substr(kHeaderSize, length));
        consume(total);
        return frame;
    }
}

void FrameDecoder::reset()
{
    m_buffer.clear();
    m_begin = 0;
}

void FrameDecoder::dropIncomplete()
{
    if (pending() > 0) {
        ++m_rejected;
        consume(1);
    }
}

void FrameDecoder::setMaxPayload(std::size_t limit)
{
    m_maxPayload = std::min(limit, kMaxPayload);
}

void FrameDecoder::consume(std::size_t count)
{
    m_begin += count;
    if (m_begin == m_buffer.size()) {
        m_buffer.clear();
        m_begin = 0;
    }
}

} // namespace vorlak::protocol
