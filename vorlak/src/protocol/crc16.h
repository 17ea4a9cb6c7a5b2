#pragma once

#include <cstdint>
#include <string_view>

namespace vorlak::protocol {

/// Initial value of the frame checksum.
inline constexpr std::uint16_t kCrcInit = 0xFFFF;

/// CRC-16 with the CCITT polynomial x^16 + x^12 + x^5 + 1 (0x1021), most significant bit first,
/// no reflection and no final XOR (the "CCITT-FALSE" variant; "123456789" gives 0x29B1).
/// Pass the previous result as `crc` to continue over data that arrives in pieces.
[[nodiscard]] std::uint16_t crc16(std::string_view data, std::uint16_t crc = kCrcInit);

} // namespace vorlak::protocol
