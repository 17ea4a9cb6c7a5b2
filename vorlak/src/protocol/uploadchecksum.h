#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace vorlak::protocol {

/// The pair of 16-bit sums that guard each block of a terminal program upload (the raw sequence
/// "S", header, sums, image, sums; see docs/qel-sim.md). The PC computes them as it sends and the
/// terminal as it receives; both must agree to the bit, so this is the one definition qel-sim
/// and the tests use.
///
/// For each byte b, in order:
///   a     = (b + 1) mod 256          (a byte 255 adds nothing)
///   sum2  = sum2 rotated left by one bit (16 bits: bit 15 comes back as bit 0)
///   sum1  = (sum1 + a) mod 65536
///   sum2  = (sum2 + a) mod 65536
/// Both sums start at 0 for every block. On the wire they follow the block as 4 bytes: sum1 low,
/// sum1 high, sum2 low, sum2 high. The bytes 61 62 63 give sum1 0x0129 and sum2 0x02B2, sent as
/// 29 01 B2 02; an empty block gives 00 00 00 00.
class UploadChecksum
{
public:
    constexpr void add(std::uint8_t byte)
    {
        const auto a = static_cast<std::uint8_t>(byte + 1U);
        m_sum2 = static_cast<std::uint16_t>((m_sum2 << 1U) | (m_sum2 >> 15U));
        m_sum1 = static_cast<std::uint16_t>(m_sum1 + a);
        m_sum2 = static_cast<std::uint16_t>(m_sum2 + a);
    }

    constexpr void add(std::string_view bytes)
    {
        for (const char c : bytes) {
            add(static_cast<std::uint8_t>(c));
        }
    }

    [[nodiscard]] constexpr std::uint16_t sum1() const { return m_sum1; }
    [[nodiscard]] constexpr std::uint16_t sum2() const { return m_sum2; }

    /// The 4 bytes that follow the block on the wire.
    [[nodiscard]] constexpr std::array<std::uint8_t, 4> wireBytes() const
    {
        return {static_cast<std::uint8_t>(m_sum1 & 0xFFU), static_cast<std::uint8_t>(m_sum1 >> 8U),
                static_cast<std::uint8_t>(m_sum2 & 0xFFU), static_cast<std::uint8_t>(m_sum2 >> 8U)};
    }

    /// Whether `sent` (4 bytes) are the wire bytes of these sums.
    [[nodiscard]] constexpr bool matches(std::string_view sent) const
    {
        const auto expected = wireBytes();
        if (sent.size() != expected.size()) {
            return false;
        }
        for (std::size_t i = 0; i < expected.size(); ++i) {
            if (static_cast<std::uint8_t>(sent[i]) != expected[i]) {
                return false;
            }
        }
        return true;
    }

private:
    std::uint16_t m_sum1 = 0;
    std::uint16_t m_sum2 = 0;
};

/// The sums of one whole block.
[[nodiscard]] constexpr UploadChecksum uploadChecksum(std::string_view block)
{
    UploadChecksum sum;
    sum.add(block);
    return sum;
}

} // namespace vorlak::protocol
