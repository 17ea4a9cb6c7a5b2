#pragma once

#include <cstdint>

/// Erases all data on the terminal in the cradle once a reading is delivered. The clearing
/// commands of the main window implement it, so delivery needs nothing from them but this.
class TerminalEraser
{
public:
    virtual ~TerminalEraser() = default;

    /// Clears all data on the terminal and tells the user how it went. Returns the library's
    /// result (16-bit reading): negative when nothing was cleared.
    virtual std::int16_t clearAll() = 0;
};
