#include "linepacer.h"

#include <algorithm>
#include <cmath>

namespace qelsim {

void LinePacer::setSpeed(int baud, int bitsPerCharacter)
{
    if (baud <= 0 || bitsPerCharacter <= 0) {
        return;
    }
    m_characterTime = Duration(static_cast<double>(bitsPerCharacter) / baud);
}

void LinePacer::start(Clock::time_point now)
{
    m_next = std::max(m_next, now);
}

std::size_t LinePacer::allowance(Clock::time_point now, std::size_t wanted)
{
    const auto earliest =
        now - std::chrono::duration_cast<Clock::duration>(m_characterTime * m_catchUp);
    m_next = std::max(m_next, earliest);
    if (now < m_next) {
        return 0;
    }
    const double ready = std::min(std::floor(Duration(now - m_next) / m_characterTime) + 1.0,
                                  static_cast<double>(m_catchUp));
    return std::min(wanted, static_cast<std::size_t>(ready));
}

void LinePacer::sent(std::size_t count)
{
    m_next +=
        std::chrono::duration_cast<Clock::duration>(m_characterTime * static_cast<double>(count));
}

} // namespace qelsim
