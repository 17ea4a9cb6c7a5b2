#include "safeterminaleraser.h"

#include "common/appstate.h"

SafeTerminalEraser::SafeTerminalEraser(TerminalEraser& eraser, const AppState& state)
    : m_eraser(eraser)
    , m_state(state)
{
}

std::int16_t SafeTerminalEraser::clearAll()
{
    if (m_state.LastReading != ReadingEnd::Complete) {
        return 0;
    }
    return m_eraser.clearAll();
}
