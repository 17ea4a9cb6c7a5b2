#include "template/templateformatter.h"

#include <algorithm>
#include <cstddef>
#include <optional>

namespace vorlak {
namespace {

constexpr char kOpen = '[';
constexpr char kClose = ']';

// One bracket group of the template: what stands between the brackets (without surrounding
// blanks) and the position just past its ']'.
struct Group
{
    std::string_view content;
    std::size_t end = 0;
};

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// Users type field names in the configuration dialog in whatever case, and the terminal files
// are written in Portuguese and Spanish, so the accented capitals of Windows-1252 fold as well.
unsigned char foldCase(unsigned char c)
{
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) {
        return static_cast<unsigned char>(c + 0x20);
    }
    switch (c) {
    case 0x8A: // S caron
    case 0x8C: // OE ligature
    case 0x8E: // Z caron
        return static_cast<unsigned char>(c + 0x10);
    case 0x9F: // Y diaeresis
        return 0xFF;
    default:
        return c;
    }
}

bool sameName(std::string_view a, std::string_view b)
{
    return std::ranges::equal(a, b, [](char x, char y) {
        return foldCase(static_cast<unsigned char>(x)) == foldCase(static_cast<unsigned char>(y));
    });
}

bool isWidth(std::string_view content)
{
    return std::ranges::all_of(content, [](char c) { return c == 'X' || c == 'x'; });
}

// The group that starts at `pos`, if there is a well-formed one. A group ends at the first ']';
// a '[' or a line break before it, or the end of the template, means this '[' opens no group.
// Keeping groups within one line stops a single stray '[' from swallowing the following lines.
std::optional<Group> groupAt(std::string_view templ, std::size_t pos)
{
    if (pos >= templ.size() || templ[pos] != kOpen) {
        return std::nullopt;
    }
    for (std::size_t i = pos + 1; i < templ.size(); ++i) {
        const char c = templ[i];
        if (c == kClose) {
            const std::string_view content = trimmed(templ.substr(pos + 1, i - pos - 1));
            if (content.empty()) {
                return std::nullopt;
            }
            return Group{content, i + 1};
        }
        if (c == kOpen || c == '\r' || c == '\n') {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

std::string_view fieldValue(const Record& record, std::string_view name)
{
    const auto it = std::ranges::find_if(
        record, [name](const Field& field) { return sameName(trimmed(field.name), name); });
    return it == record.end() ? std::string_view{} : std::string_view{it->value};
}

void appendFitted(std::string& out, std::string_view value, std::size_t width)
{
    if (value.size() >= width) {
        out.append(value.substr(0, width));
    } else {
        out.append(value);
        out.append(width - value.size(), ' ');
    }
}

} // namespace

std::string formatRecord(std::string_view templ, const Record& record)
{
    std::string out;
    out.reserve(templ.size());
    std::size_t pos = 0;
    while (pos < templ.size()) {
        const std::optional<Group> field = groupAt(templ, pos);
        if (!field) {
            // Text, special-key tokens, line breaks and brackets that open no group pass through.
            const std::size_t next = templ.find(kOpen, pos + 1);
            const std::size_t stop = next == std::string_view::npos ? templ.size() : next;
            out.append(templ.substr(pos, stop - pos));
            pos = stop;
            continue;
        }
        pos = field->end;
        const std::string_view value = fieldValue(record, field->content);
        const std::optional<Group> width = groupAt(templ, pos);
        if (width && isWidth(width->content)) {
            appendFitted(out, value, width->content.size());
            pos = width->end;
        } else {
            out.append(value);
        }
    }
    return out;
}

} // namespace vorlak
