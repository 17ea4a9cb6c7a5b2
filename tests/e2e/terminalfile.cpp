#include "terminalfile.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <stdexcept>

namespace {

void appendJsonString(std::string& out, std::string_view text)
{
    out += '"';
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            std::array<char, 8> escaped{};
            std::snprintf(escaped.data(), escaped.size(), "\\u%04x",
                          static_cast<unsigned>(static_cast<unsigned char>(c)));
            out += escaped.data();
        } else {
            out += c;
        }
    }
    out += '"';
}

void appendFields(std::string& out, const TerminalFile::Fields& fields)
{
    out += '{';
    for (std::size_t i = 0; i < fields.size(); ++i) {
        out += i > 0 ? "," : "";
        appendJsonString(out, fields[i].first);
        out += ':';
        appendJsonString(out, fields[i].second);
    }
    out += '}';
}

} // namespace

TerminalFile TerminalFile::numbered(int documents, int entries)
{
    TerminalFile terminal;
    int code = 10000;
    for (int d = 1; d <= documents; ++d) {
        std::array<char, 16> number{};
        std::snprintf(number.data(), number.size(), "%04d", d);
        Document document{{{"Doc", number.data()}}, {}};
        for (int e = 0; e < entries; ++e, ++code) {
            document.entries.push_back(
                {{"Code", std::to_string(code)}, {"Qty", std::to_string(1 + code % 9)}});
        }
        terminal.documents.push_back(std::move(document));
    }
    return terminal;
}

std::string TerminalFile::json() const
{
    std::string out = "{\"id\":";
    appendJsonString(out, id);
    out += ",\"body_template\":";
    appendJsonString(out, bodyTemplate);
    out += ",\"header_template\":";
    appendJsonString(out, headerTemplate);
    out += ",\"documents\":[";
    for (std::size_t d = 0; d < documents.size(); ++d) {
        out += d > 0 ? ",\n{\"header\":" : "\n{\"header\":";
        appendFields(out, documents[d].header);
        out += ",\"entries\":[";
        for (std::size_t e = 0; e < documents[d].entries.size(); ++e) {
            out += e > 0 ? "," : "";
            appendFields(out, documents[d].entries[e]);
        }
        out += "]}";
    }
    out += "]}\n";
    return out;
}

void TerminalFile::write(const std::filesystem::path& file) const
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << json();
    if (!out.flush()) {
        throw std::runtime_error("cannot write " + file.string());
    }
}
