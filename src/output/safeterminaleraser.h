#pragma once

#include "terminaleraser.h"

struct AppState;

/// The clearing that delivery uses: it clears the terminal only after a complete reading. An
/// interrupted reading, or one that skipped the entries, leaves data on the terminal that is
/// nowhere else, so the terminal keeps it.
class SafeTerminalEraser : public TerminalEraser
{
public:
    SafeTerminalEraser(TerminalEraser& eraser, const AppState& state);

    /// Clears through the wrapped eraser after a complete reading; otherwise clears nothing and
    /// answers 0 ("nothing this time").
    std::int16_t clearAll() override;

private:
    TerminalEraser& m_eraser;
    const AppState& m_state;
};
