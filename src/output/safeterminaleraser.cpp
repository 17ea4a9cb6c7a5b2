#include "safeterminaleraser.h"

#include "common/appstate.h"

SafeTerminalEraser::SafeTerminalEraser(TerminalEraser& eraser, AppState& state)
    : m_eraser(eraser)
    , m_state(state)
{
}

std::int16_t SafeTerminalEraser::clearAll()
{
    if (m_state.LastReading != ReadingEnd::Complete || !m_state.ReadingJournaled) {
        return 0;
    }
    const std::int16_t result = m_eraser.clearAll();
    m_state.ReadingCleared = result > 0;
    return result;
}
