#pragma once

#include "protocol/messages.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorlak {

/// Puts a stream together from pieces that arrive in any order, some twice, some never, and
/// says which bytes to ask for next.
class StreamAssembly
{
public:
    /// Places `data` at `offset`. False when it cannot belong to the stream: past its known end,
    /// or past the largest stream the client takes.
    [[nodiscard]] bool place(std::uint32_t offset, std::string_view data);
    /// The stream's length, as the terminal says. False when it differs from what it said before
    /// or bytes already placed lie past it.
    [[nodiscard]] bool setTotal(std::uint32_t total);
    [[nodiscard]] std::optional<std::uint32_t> total() const { return m_total; }
    /// Bytes held so far (each counted once).
    [[nodiscard]] std::uint64_t held() const { return m_held; }
    [[nodiscard]] bool complete() const { return m_total && m_held == *m_total; }

    /// The missing bytes to ask for next, from the start, at most `budget` bytes in at most
    /// `maxRanges` ranges. While the length is unknown, the stream is taken to be at least
    /// `budget` bytes long.
    [[nodiscard]] std::vector<protocol::ByteRange> plan(std::size_t budget,
                                                        std::size_t maxRanges) const;
    /// The bytes held from the stream's start without a gap.
    [[nodiscard]] std::string_view contiguous() const
    {
        if (m_have.empty() || m_have.front().offset != 0) {
            return {};
        }
        return std::string_view(m_bytes).substr(0, m_have.front().length);
    }
    /// The whole stream, once complete.
    [[nodiscard]] std::string take() { return std::move(m_bytes); }

private:
    std::string m_bytes;
    std::optional<std::uint32_t> m_total;
    std::vector<protocol::ByteRange> m_have; // rising, never touching each other
    std::uint64_t m_held = 0;
};

} // namespace vorlak
