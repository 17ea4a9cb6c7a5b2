#pragma once

#include <cstddef>

namespace vorlak {

/// What the line does to the frames it carries, learnt from the chunk frames that arrived and
/// those that did not, and the chunk size that moves data fastest at that error rate.
///
/// A frame of n bytes arrives whole with probability (1 - p)^n at a byte error rate p, so small
/// chunks get through a noisy line and large ones waste little on framing on a clean one. The
/// estimate forgets old frames as new ones come (over about 64 KB of frames), so it follows a
/// line that gets better or worse.
class LineErrorEstimate
{
public:
    /// `frames` chunk frames of about `frameBytes` bytes each were asked for; `arrived` came whole.
    void record(std::size_t frames, std::size_t arrived, std::size_t frameBytes);
    /// Estimated probability that a byte is damaged or lost.
    [[nodiscard]] double byteErrorRate() const;
    /// The chunk size (kMinChunk..kMaxChunk) that carries the most data per byte on the line.
    [[nodiscard]] std::size_t chunkSize() const;

private:
    // The rate of each window of frames weighted by its bytes, and those bytes, both fading as
    // bytes go by. They start as if 4 KB had met one error in 10,000 bytes, so the first chunks
    // are medium-sized.
    double m_weightedRate = 4096.0 * 1e-4;
    double m_bytes = 4096.0;
};

} // namespace vorlak
