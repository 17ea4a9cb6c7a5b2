#pragma once

#include "output/sendkeys.h"
#include "qtprinters.h"

#include <ostream>
#include <vector>

// Readable keystrokes in test failure output.
inline void PrintTo(const Keystroke& key, std::ostream* os)
{
    *os << SendKeys::describe(key).toStdString();
}

inline void PrintTo(const std::vector<Keystroke>& keys, std::ostream* os)
{
    *os << '[';
    for (std::size_t i = 0; i < keys.size(); ++i) {
        *os << (i ? ", " : "") << SendKeys::describe(keys[i]).toStdString();
    }
    *os << ']';
}
