#include "crc16.h"

#include <array>

namespace vorlak::protocol {
namespace {

constexpr std::uint16_t kPolynomial = 0x1021;

constexpr std::array<std::uint16_t, 256> makeTable()
{
    std::array<std::uint16_t, 256> table{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        auto crc = static_cast<std::uint16_t>(byte << 8);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x8000U) != 0 ? static_cast<std::uint16_t>((crc << 1) ^ kPolynomial)
                                       : static_cast<std::uint16_t>(crc << 1);
        }
        table[byte] = crc;
    }
    return table;
}

constexpr std::array<std::uint16_t, 256> kTable = makeTable();

} // namespace

std::uint16_t crc16(std::string_view data, std::uint16_t crc)
{
    for (const char c : data) {
        const auto index = static_cast<std::uint8_t>((crc >> 8) ^ static_cast<std::uint8_t>(c));
        crc = static_cast<std::uint16_t>((crc << 8) ^ kTable[index]);
    }
    return crc;
}

} // namespace vorlak::protocol
