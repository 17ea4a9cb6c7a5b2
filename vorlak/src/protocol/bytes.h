#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vorlak::protocol {

/// Builds a message payload: integers little-endian, counts and lengths as unsigned LEB128
/// ("varint": 7 bits a byte, low bits first, high bit set on every byte but the last).
class ByteWriter
{
public:
    void u8(std::uint8_t value) { m_bytes += static_cast<char>(value); }
    void u16(std::uint16_t value);
    void u32(std::uint32_t value);
    void i32(std::int32_t value) { u32(static_cast<std::uint32_t>(value)); }
    void varint(std::uint32_t value);
    void bytes(std::string_view data) { m_bytes += data; }
    /// A varint length followed by the bytes.
    void text(std::string_view data);

    [[nodiscard]] const std::string& result() const& { return m_bytes; }
    [[nodiscard]] std::string result() && { return std::move(m_bytes); }

private:
    std::string m_bytes;
};

/// Reads what ByteWriter wrote. Reading past the end (or a varint longer than 5 bytes) marks the
/// reader failed and yields zeros or empty text from then on, so a decoder reads all its fields
/// and checks ok() once.
class ByteReader
{
public:
    explicit ByteReader(std::string_view data)
        : m_data(data)
    {
    }

    [[nodiscard]] std::uint8_t u8();
    [[nodiscard]] std::uint16_t u16();
    [[nodiscard]] std::uint32_t u32();
    [[nodiscard]] std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
    [[nodiscard]] std::uint32_t varint();
    [[nodiscard]] std::string_view bytes(std::size_t count);
    [[nodiscard]] std::string_view text() { return bytes(varint()); }
    /// Everything not read yet.
    [[nodiscard]] std::string_view rest();

    [[nodiscard]] bool ok() const { return !m_failed; }
    [[nodiscard]] bool atEnd() const { return m_position == m_data.size(); }
    [[nodiscard]] std::size_t remaining() const { return m_data.size() - m_position; }

private:
    std::string_view m_data;
    std::size_t m_position = 0;
    bool m_failed = false;
};

} // namespace vorlak::protocol
