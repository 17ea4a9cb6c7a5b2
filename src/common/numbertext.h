#pragma once

#include <QString>
#include <cstdint>

/// Number to text as messages and captions show it: a non-negative number gets one leading
/// space (1 gives " 1"), a negative one its minus sign (-2 gives "-2").
[[nodiscard]] QString numberText(std::int64_t value);
