#include "streamassembly.h"

#include "terminalclient.h"

#include <algorithm>

namespace vorlak {

using protocol::ByteRange;

namespace {

std::uint64_t endOf(const ByteRange& range)
{
    return static_cast<std::uint64_t>(range.offset) + range.length;
}

} // namespace

bool StreamAssembly::place(std::uint32_t offset, std::string_view data)
{
    const std::uint64_t end = static_cast<std::uint64_t>(offset) + data.size();
    if (data.empty()) {
        return true;
    }
    if (end > TerminalClient::kMaxStream || (m_total && end > *m_total)) {
        return false;
    }
    if (m_bytes.size() < end) {
        m_bytes.resize(end);
    }
    m_bytes.replace(offset, data.size(), data);

    // Merge [offset, end) into the held ranges, counting only bytes not held before.
    std::uint64_t begin = offset;
    std::uint64_t last = end;
    auto first = std::lower_bound(
        m_have.begin(), m_have.end(), begin,
        [](const ByteRange& range, std::uint64_t at) { return endOf(range) < at; });
    auto after = first;
    std::uint64_t overlap = 0;
    while (after != m_have.end() && after->offset <= last) {
        const std::uint64_t from = std::max<std::uint64_t>(after->offset, begin);
        const std::uint64_t to = std::min(endOf(*after), last);
        overlap += to > from ? to - from : 0;
        begin = std::min<std::uint64_t>(begin, after->offset);
        last = std::max(last, endOf(*after));
        ++after;
    }
    m_held += (end - offset) - overlap;
    const auto at = m_have.erase(first, after);
    m_have.insert(
        at, ByteRange{static_cast<std::uint32_t>(begin), static_cast<std::uint32_t>(last - begin)});
    return true;
}

bool StreamAssembly::setTotal(std::uint32_t total)
{
    if (m_total) {
        return *m_total == total;
    }
    if (total > TerminalClient::kMaxStream || m_bytes.size() > total) {
        return false;
    }
    m_total = total;
    m_bytes.resize(total);
    return true;
}

std::vector<ByteRange> StreamAssembly::plan(std::size_t budget, std::size_t maxRanges) const
{
    std::uint64_t end = m_total ? *m_total : std::max<std::uint64_t>(budget, m_bytes.size());
    std::vector<ByteRange> ranges;
    std::uint64_t at = 0;
    auto add = [&](std::uint64_t from, std::uint64_t to) {
        if (from < to && budget > 0 && ranges.size() < maxRanges) {
            const std::uint64_t length = std::min<std::uint64_t>(to - from, budget);
            ranges.push_back(
                {static_cast<std::uint32_t>(from), static_cast<std::uint32_t>(length)});
            budget -= length;
        }
    };
    for (const ByteRange& held : m_have) {
        add(at, std::min<std::uint64_t>(held.offset, end));
        at = endOf(held);
    }
    add(at, end);
    return ranges;
}

} // namespace vorlak
