#include "lineerrors.h"

#include "protocol/messages.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace vorlak {

namespace {

// Bytes of line a frame costs beyond its chunk of data.
constexpr double kOverhead = protocol::kChunkOverhead;
// Frames older than this many bytes of traffic count for about a third.
constexpr double kMemoryBytes = 64.0 * 1024.0;

} // namespace

void LineErrorEstimate::record(std::size_t frames, std::size_t arrived, std::size_t frameBytes)
{
    if (frames == 0 || arrived > frames || frameBytes == 0) {
        return;
    }
    // A frame of n bytes arrives whole with probability (1 - p)^n, so the share that arrived
    // gives the rate even when most frames took several hits. Half a frame on both sides keeps
    // the logarithm finite when none arrived and leaves a clean window at exactly zero.
    const double whole = (static_cast<double>(arrived) + 0.5) / (static_cast<double>(frames) + 0.5);
    const double rate = -std::expm1(std::log(whole) / static_cast<double>(frameBytes));
    const double bytes = static_cast<double>(frames) * static_cast<double>(frameBytes);
    const double fade = std::exp(-bytes / kMemoryBytes);
    m_weightedRate = m_weightedRate * fade + rate * bytes;
    m_bytes = m_bytes * fade + bytes;
}

double LineErrorEstimate::byteErrorRate() const
{
    return m_weightedRate / m_bytes;
}

std::size_t LineErrorEstimate::chunkSize() const
{
    static constexpr std::array<std::size_t, 27> kSizes{
        16,  20,  24,  28,  32,  40,  48,  56,  64,   80,   96,   112,  128, 160,
        192, 224, 256, 320, 384, 448, 512, 768, 1024, 1536, 2048, 3072, 4096};
    const double loss = std::log1p(-std::min(byteErrorRate(), 0.5));
    std::size_t best = kSizes.front();
    double bestYield = 0.0;
    for (const std::size_t size : kSizes) {
        const double frame = static_cast<double>(size) + kOverhead;
        const double yield = static_cast<double>(size) / frame * std::exp(loss * frame);
        if (yield > bestYield) {
            bestYield = yield;
            best = size;
        }
    }
    return best;
}

} // namespace vorlak
