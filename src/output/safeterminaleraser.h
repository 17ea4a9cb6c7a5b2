#pragma once

#include "terminaleraser.h"

struct AppState;

/// The clearing that delivery uses: it clears the terminal only after a complete reading that is
/// in the journal. An interrupted reading, or one that skipped the entries, leaves data on the
/// terminal that is nowhere else, and one the journal could not keep has no record; in both
/// cases the terminal keeps its data. Notes in AppState::ReadingCleared whether it cleared.
class SafeTerminalEraser : public TerminalEraser
{
public:
    SafeTerminalEraser(TerminalEraser& eraser, AppState& state);

    /// Clears through the wrapped eraser after a complete reading; otherwise clears nothing and
    /// answers 0 ("nothing this time").
    std::int16_t clearAll() override;

private:
    TerminalEraser& m_eraser;
    AppState& m_state;
};
