#include "linenoise.h"

#include <algorithm>

namespace qelsim {

LineNoise::LineNoise(double probability, std::uint64_t seed)
    : m_probability(std::clamp(probability, 0.0, 1.0))
    , m_random(seed)
{
}

void LineNoise::apply(std::string_view in, std::string& out)
{
    if (m_probability <= 0.0) {
        out.append(in);
        return;
    }
    for (const char byte : in) {
        // Drawn by hand rather than through a distribution so that a seed gives the same
        // damage with any standard library.
        const double draw = static_cast<double>(m_random() >> 11) * 0x1.0p-53;
        if (draw >= m_probability) {
            out += byte;
            continue;
        }
        const std::uint64_t damage = m_random();
        if ((damage & 1U) == 0) {
            continue; // lost
        }
        // Flip a non-empty set of bits, so the byte always arrives different.
        const auto flip = static_cast<unsigned char>(1 + ((damage >> 1) % 255));
        out += static_cast<char>(static_cast<unsigned char>(byte) ^ flip);
    }
}

} // namespace qelsim
