// Fuzzes the template formatter. The input is the template followed by up to kMaxFields
// name/value pairs, all separated by NUL bytes; a missing value is empty.
#include "template/templateformatter.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

constexpr std::size_t kMaxFields = 4;

// The next NUL-separated piece of `rest`; `rest` moves past it and its separator.
std::string_view takePiece(std::string_view& rest)
{
    const std::size_t nul = rest.find('\0');
    const std::string_view piece = rest.substr(0, nul);
    rest = nul == std::string_view::npos ? std::string_view{} : rest.substr(nul + 1);
    return piece;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    const std::string_view templ = takePiece(rest);
    vorlak::Record record;
    while (!rest.empty() && record.size() < kMaxFields) {
        const std::string_view name = takePiece(rest);
        const std::string_view value = takePiece(rest);
        record.push_back({std::string(name), std::string(value)});
    }

    const std::string text = vorlak::formatRecord(templ, record);
    // Text without any '[' holds no group, so it must come out unchanged.
    if (templ.find('[') == std::string_view::npos && text != templ) {
        std::abort();
    }
    // Without fields every group yields at most as many bytes as it is written with.
    if (vorlak::formatRecord(templ, {}).size() > templ.size()) {
        std::abort();
    }
    return 0;
}
