#pragma once

#include <QString>
#include <cstdint>
#include <optional>

/// Conversions of stored setting texts to values.
namespace SettingsConversions {

/// The number at the start of the text (leading blanks skipped; sign, digits, decimal point and
/// exponent); 0 when the text does not begin with a number.
[[nodiscard]] double leadingNumber(const QString& text);

/// Option-button state: "True"/"False" in any letter case, or a number (0 is false). nullopt for
/// any other text.
[[nodiscard]] std::optional<bool> optionState(const QString& text);

/// Check-box state as a 16-bit number: the leading number, rounded; nullopt outside
/// -32768..32767.
[[nodiscard]] std::optional<std::int16_t> checkState(const QString& text);

/// Check-box state as a flag: true when the leading number is not 0. Never fails.
[[nodiscard]] bool checkFlag(const QString& text);

/// The port number that ends the text: "Com3" gives 3, "Com12" gives 12; 0 when the text does
/// not end in a digit. nullopt when the number is too large for a port number.
[[nodiscard]] std::optional<std::int32_t> comPortNumber(const QString& text);

} // namespace SettingsConversions
