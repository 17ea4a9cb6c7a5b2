#include "bytes.h"

namespace vorlak::protocol {

void ByteWriter::u16(std::uint16_t value)
{
    u8(static_cast<std::uint8_t>(value & 0xFFU));
    u8(static_cast<std::uint8_t>(value >> 8));
}

void ByteWriter::u32(std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8) {
        u8(static_cast<std::uint8_t>((value >> shift) & 0xFFU));
    }
}

void ByteWriter::varint(std::uint32_t value)
{
    while (value >= 0x80U) {
        u8(static_cast<std::uint8_t>((value & 0x7FU) | 0x80U));
        value >>= 7;
    }
    u8(static_cast<std::uint8_t>(value));
}

void ByteWriter::text(std::string_view data)
{
    varint(static_cast<std::uint32_t>(data.size()));
    bytes(data);
}

std::uint8_t ByteReader::u8()
{
    if (m_failed || m_position >= m_data.size()) {
        m_failed = true;
        return 0;
    }
    return static_cast<std::uint8_t>(m_data[m_position++]);
}

std::uint16_t ByteReader::u16()
{
    const std::uint16_t low = u8();
    const std::uint16_t high = u8();
    return m_failed ? 0 : static_cast<std::uint16_t>(low | (high << 8));
}

std::uint32_t ByteReader::u32()
{
    std::uint32_t value = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        value |= static_cast<std::uint32_t>(u8()) << shift;
    }
    return m_failed ? 0 : value;
}

std::uint32_t ByteReader::varint()
{
    std::uint32_t value = 0;
    for (int shift = 0; shift < 35; shift += 7) {
        const std::uint8_t byte = u8();
        if (m_failed) {
            return 0;
        }
        // The fifth byte may only carry the top four bits of a 32-bit value.
        if (shift == 28 && byte > 0x0FU) {
            break;
        }
        value |= static_cast<std::uint32_t>(byte & 0x7FU) << shift;
        if ((byte & 0x80U) == 0) {
            return value;
        }
    }
    m_failed = true;
    return 0;
}

std::string_view ByteReader::bytes(std::size_t count)
{
    if (m_failed || count > remaining()) {
        m_failed = true;
        return {};
    }
    const std::string_view view = m_data.substr(m_position, count);
    m_position += count;
    return view;
}

std::string_view ByteReader::rest()
{
    return bytes(remaining());
}

} // namespace vorlak::protocol
