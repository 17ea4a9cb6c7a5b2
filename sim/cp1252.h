#pragma once

#include <string>
#include <string_view>

// The terminal holds and sends Windows-1252 bytes while its file is UTF-8; these convert at the
// two edges (loading the terminal file, writing the state back).
namespace qelsim {

/// UTF-8 (already validated) to Windows-1252; a character Windows-1252 cannot hold becomes '?'.
[[nodiscard]] std::string utf8ToCp1252(std::string_view utf8);

/// Windows-1252 to UTF-8. The five bytes Windows-1252 leaves undefined map to the control
/// characters of the same value, so every byte survives a round trip.
[[nodiscard]] std::string cp1252ToUtf8(std::string_view bytes);

} // namespace qelsim
