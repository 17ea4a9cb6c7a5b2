#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <string_view>

namespace qelsim {

/// A noisy line: each byte sent is, with a fixed probability, lost or changed into another
/// value. Seeded, so one seed gives the same damage to the same byte stream on every run.
class LineNoise
{
public:
    /// probability is clamped to 0..1; 0 leaves every byte alone.
    LineNoise(double probability, std::uint64_t seed);

    /// Appends `in` to `out` as the far end of the line receives it.
    void apply(std::string_view in, std::string& out);

private:
    double m_probability;
    std::mt19937_64 m_random;
};

} // namespace qelsim
