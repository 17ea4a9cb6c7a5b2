#include "terminalstate.h"

#include "cp1252.h"

#include <cerrno>
#include <cstring>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <system_error>
#include <variant>

namespace qelsim {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

// A step into a JSON value: an object key or an array index.
using PathStep = std::variant<std::string, std::size_t>;
using JsonPath = std::vector<PathStep>;

std::string pathText(const JsonPath& path)
{
    std::string text;
    for (const auto& step : path) {
        if (const auto* key = std::get_if<std::string>(&step)) {
            if (!text.empty()) {
                text += '.';
            }
            text += *key;
        } else {
            text += '[' + std::to_string(std::get<std::size_t>(step)) + ']';
        }
    }
    return text.empty() ? "top level" : text;
}

struct TextPosition
{
    std::size_t line = 1;
    std::size_t column = 1;
};

// Line and column (both from 1, columns in bytes) of the byte at `offset`.
TextPosition positionOf(std::string_view text, std::size_t offset)
{
    TextPosition pos;
    for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++pos.line;
            pos.column = 1;
        } else {
            ++pos.column;
        }
    }
    return pos;
}

// Finds where a value sits in JSON text that the parser has already accepted, so that errors
// about the terminal's shape can point at a line and column, as syntax errors do.
class ValueLocator
{
public:
    explicit ValueLocator(std::string_view text)
        : m_text(text)
    {
    }

    // Offset of the value at `path`; the nearest enclosing value found if the path goes astray.
    std::size_t find(const JsonPath& path)
    {
        m_pos = 0;
        skipSpace();
        std::size_t found = m_pos;
        for (const auto& step : path) {
            if (!enter(step)) {
                break;
            }
            found = m_pos;
        }
        return found;
    }

private:
    // Moves from the start of an object or array to the start of the member `step`.
    bool enter(const PathStep& step)
    {
        if (m_pos >= m_text.size()) {
            return false;
        }
        const std::size_t container = m_pos;
        const char open = m_text[m_pos];
        std::size_t match = std::string_view::npos;
        ++m_pos;
        skipSpace();
        std::size_t index = 0;
        while (m_pos < m_text.size() && m_text[m_pos] != '}' && m_text[m_pos] != ']') {
            bool hit = false;
            if (open == '{') {
                const std::string key = readString();
                skipSpace();
                ++m_pos; // ':'
                skipSpace();
                // The parser keeps the last of duplicated keys, so the last match wins.
                hit =
                    std::holds_alternative<std::string>(step) && std::get<std::string>(step) == key;
            } else {
                hit = std::holds_alternative<std::size_t>(step) &&
                      std::get<std::size_t>(step) == index;
            }
            if (hit) {
                match = m_pos;
            }
            skipValue();
            skipSpace();
            if (m_pos < m_text.size() && m_text[m_pos] == ',') {
                ++m_pos;
                skipSpace();
            }
            ++index;
        }
        m_pos = match == std::string_view::npos ? container : match;
        return match != std::string_view::npos;
    }

    void skipSpace()
    {
        while (m_pos < m_text.size() && (m_text[m_pos] == ' ' || m_text[m_pos] == '\t' ||
                                         m_text[m_pos] == '\n' || m_text[m_pos] == '\r')) {
            ++m_pos;
        }
    }

    void skipValue()
    {
        if (m_pos >= m_text.size()) {
            return;
        }
        const char c = m_text[m_pos];
        if (c == '"') {
            readString();
        } else if (c == '{' || c == '[') {
            int depth = 0;
            while (m_pos < m_text.size()) {
                const char d = m_text[m_pos];
                if (d == '"') {
                    readString();
                    continue;
                }
                if (d == '{' || d == '[') {
                    ++depth;
                } else if (d == '}' || d == ']') {
                    --depth;
                }
                ++m_pos;
                if (depth == 0) {
                    break;
                }
            }
        } else {
            while (m_pos < m_text.size() && m_text[m_pos] != ',' && m_text[m_pos] != '}' &&
                   m_text[m_pos] != ']' && m_text[m_pos] != ' ' && m_text[m_pos] != '\n' &&
                   m_text[m_pos] != '\r' && m_text[m_pos] != '\t') {
                ++m_pos;
            }
        }
    }

    // Reads a string literal starting at m_pos, returning its text with escapes resolved well
    // enough to compare keys (\uXXXX outside ASCII is kept as written).
    std::string readString()
    {
        std::string out;
        ++m_pos; // opening quote
        while (m_pos < m_text.size() && m_text[m_pos] != '"') {
            if (m_text[m_pos] == '\\' && m_pos + 1 < m_text.size()) {
                const char e = m_text[m_pos + 1];
                m_pos += 2;
                switch (e) {
                case 'n':
                    out += '\n';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'u':
                    if (m_pos + 4 <= m_text.size()) {
                        const auto code =
                            std::stoul(std::string(m_text.substr(m_pos, 4)), nullptr, 16);
                        if (code < 0x80) {
                            out += static_cast<char>(code);
                        } else {
                            out += "\\u";
                            out += m_text.substr(m_pos, 4);
                        }
                        m_pos += 4;
                    }
                    break;
                default:
                    out += e;
                    break;
                }
            } else {
                out += m_text[m_pos++];
            }
        }
        ++m_pos; // closing quote
        return out;
    }

    std::string_view m_text;
    std::size_t m_pos = 0;
};

// Turns the parsed JSON into a terminal, reporting the first value of the wrong kind.
class Loader
{
public:
    Loader(std::string_view text, const std::string& source)
        : m_text(text)
        , m_source(source)
    {
    }

    [[noreturn]] void fail(const JsonPath& path, const std::string& message) const
    {
        ValueLocator locator(m_text);
        const TextPosition pos = positionOf(m_text, locator.find(path));
        std::ostringstream out;
        out << m_source << ':' << pos.line << ':' << pos.column << ": " << pathText(path) << ": "
            << message;
        throw TerminalFileError(out.str());
    }

    static const char* kindOf(const Json& value)
    {
        switch (value.type()) {
        case Json::value_t::object:
            return "an object";
        case Json::value_t::array:
            return "an array";
        case Json::value_t::boolean:
            return "true or false";
        case Json::value_t::null:
            return "null";
        case Json::value_t::string:
            return "text";
        default:
            return "a number";
        }
    }

    // Text, as the terminal holds it. Numbers are taken as written ("Qty": 3 is "3") because
    // that is what someone writing a terminal file by hand means; null is empty.
    std::string text(const Json& value, const JsonPath& path) const
    {
        if (value.is_string()) {
            return utf8ToCp1252(value.get_ref<const std::string&>());
        }
        if (value.is_number()) {
            return value.dump();
        }
        if (value.is_null()) {
            return {};
        }
        fail(path, std::string("expected text, found ") + kindOf(value));
    }

    vorlak::Record record(const Json& value, const JsonPath& path) const
    {
        if (value.is_null()) {
            return {};
        }
        if (!value.is_object()) {
            fail(path, std::string("expected an object of fields, found ") + kindOf(value));
        }
        vorlak::Record fields;
        for (const auto& [name, fieldValue] : value.items()) {
            JsonPath fieldPath = path;
            fieldPath.emplace_back(name);
            fields.push_back({utf8ToCp1252(name), text(fieldValue, fieldPath)});
        }
        return fields;
    }

    Document document(const Json& value, const JsonPath& path) const
    {
        if (!value.is_object()) {
            fail(path, std::string("expected a document object, found ") + kindOf(value));
        }
        Document doc;
        if (const auto it = value.find("header"); it != value.end()) {
            JsonPath headerPath = path;
            headerPath.emplace_back("header");
            doc.header = record(*it, headerPath);
        }
        if (const auto it = value.find("entries"); it != value.end() && !it->is_null()) {
            JsonPath entriesPath = path;
            entriesPath.emplace_back("entries");
            if (!it->is_array()) {
                fail(entriesPath,
                     std::string("expected an array of entries, found ") + kindOf(*it));
            }
            for (std::size_t i = 0; i < it->size(); ++i) {
                JsonPath entryPath = entriesPath;
                entryPath.emplace_back(i);
                doc.entries.push_back(record((*it)[i], entryPath));
            }
        }
        return doc;
    }

private:
    std::string_view m_text;
    const std::string& m_source;
};

// "[json.exception.parse_error.101] parse error at line 2, column 5: syntax error ..." keeps
// only the reason; the position is given our own way.
std::string parseReason(const char* what)
{
    std::string text = what;
    const auto colon = text.find(": ");
    return colon == std::string::npos ? text : text.substr(colon + 2);
}

std::string systemReason(const std::error_code& ec)
{
    return ec.message();
}

// Writes a file next to its target and renames it over the target, so a reader never sees a
// half-written file.
void writeFileAtomically(const fs::path& target, std::string_view bytes)
{
    const fs::path temp = target.string() + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out) {
            throw StateDirError("cannot write " + temp.string() + ": " + std::strerror(errno));
        }
    }
    std::error_code ec;
    fs::rename(temp, target, ec);
    if (ec) {
        fs::remove(temp, ec);
        throw StateDirError("cannot write " + target.string() + ": " + systemReason(ec));
    }
}

// While serving, a state folder that stops being writable must not end the simulation: the
// terminal itself still works. The problem is told on the simulator's error output.
template <typename Action>
void persistOrWarn(Action action)
{
    try {
        action();
    } catch (const StateDirError& e) {
        std::cerr << "qel-sim: " << e.what() << '\n';
    }
}

Json recordToJson(const vorlak::Record& record)
{
    Json object = Json::object();
    for (const auto& field : record) {
        object[cp1252ToUtf8(field.name)] = cp1252ToUtf8(field.value);
    }
    return object;
}

} // namespace

TerminalState TerminalState::fromFile(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        throw TerminalFileError(file.string() +
                                ": cannot open the terminal file: " + std::strerror(errno));
    }
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) {
        throw TerminalFileError(file.string() +
                                ": cannot read the terminal file: " + std::strerror(errno));
    }
    return fromJson(content.str(), file.string());
}

TerminalState TerminalState::fromJson(std::string_view json, const std::string& sourceName)
{
    Json root;
    try {
        root = Json::parse(json);
    } catch (const Json::parse_error& e) {
        // e.byte counts from 1 and points at the last character read, the one that failed.
        const std::size_t offset = e.byte > 0 ? e.byte - 1 : 0;
        const TextPosition pos = positionOf(json, offset);
        std::ostringstream out;
        out << sourceName << ':' << pos.line << ':' << pos.column
            << ": malformed JSON: " << parseReason(e.what());
        throw TerminalFileError(out.str());
    }

    const Loader loader(json, sourceName);
    if (!root.is_object()) {
        loader.fail({}, std::string("a terminal file holds one JSON object, found ") +
                            Loader::kindOf(root));
    }
    TerminalState state;
    if (const auto it = root.find("id"); it != root.end()) {
        state.m_id = loader.text(*it, {std::string("id")});
    }
    if (const auto it = root.find("body_template"); it != root.end()) {
        state.m_bodyTemplate = loader.text(*it, {std::string("body_template")});
    }
    if (const auto it = root.find("header_template"); it != root.end()) {
        state.m_headerTemplate = loader.text(*it, {std::string("header_template")});
    }
    if (const auto it = root.find("documents"); it != root.end() && !it->is_null()) {
        const JsonPath path{std::string("documents")};
        if (!it->is_array()) {
            loader.fail(path, std::string("expected an array of documents, found ") +
                                  Loader::kindOf(*it));
        }
        for (std::size_t i = 0; i < it->size(); ++i) {
            JsonPath docPath = path;
            docPath.emplace_back(i);
            state.m_documents.push_back(loader.document((*it)[i], docPath));
        }
    }
    return state;
}

void TerminalState::attachStateDir(const std::filesystem::path& dir)
{
    std::error_code ec;
    for (const char* sub : {"lists", "upload"}) {
        fs::create_directories(dir / sub, ec);
        if (ec) {
            throw StateDirError("cannot create the state folder " + (dir / sub).string() + ": " +
                                systemReason(ec));
        }
    }
    // The folder tells about this run only: lists and a program kept by an earlier run go.
    for (const auto& entry : fs::directory_iterator(dir / "lists", ec)) {
        const auto ext = entry.path().extension();
        if (ext == ".bin" || ext == ".var") {
            fs::remove(entry.path(), ec);
        }
    }
    for (const char* file : {"program.bin", "program.hea"}) {
        fs::remove(dir / "upload" / file, ec);
    }
    m_events.close();
    m_events.clear();
    m_events.open(dir / "events.log", std::ios::binary | std::ios::trunc);
    if (!m_events) {
        throw StateDirError("cannot write " + (dir / "events.log").string() + ": " +
                            std::strerror(errno));
    }
    m_stateDir = dir;
    saveTerminal();
    for (const auto& [position, list] : m_lists) {
        saveList(position);
    }
    if (!m_programImage.empty()) {
        saveProgram();
    }
}

void TerminalState::clearAll()
{
    m_documents.clear();
    persistOrWarn([this] { saveTerminal(); });
}

void TerminalState::clearList(int position)
{
    m_lists.erase(position);
    if (m_stateDir.empty()) {
        return;
    }
    const fs::path base = m_stateDir / "lists" / std::to_string(position);
    std::error_code ec;
    for (const char* ext : {".bin", ".var"}) {
        const fs::path file = base.string() + ext;
        if (!fs::remove(file, ec) && ec) {
            std::cerr << "qel-sim: cannot remove " << file.string() << ": " << ec.message() << '\n';
        }
    }
}

void TerminalState::storeList(int position, std::string_view data, std::string_view userVariable)
{
    m_lists[position] = StoredList{std::string(data), std::string(userVariable)};
    persistOrWarn([&] { saveList(position); });
}

void TerminalState::saveList(int position) const
{
    if (m_stateDir.empty()) {
        return;
    }
    const StoredList& list = m_lists.at(position);
    const fs::path base = m_stateDir / "lists" / std::to_string(position);
    writeFileAtomically(base.string() + ".bin", list.data);
    writeFileAtomically(base.string() + ".var", list.userVariable);
}

void TerminalState::storeProgram(std::string_view header, std::string_view image)
{
    m_programHeader = header;
    m_programImage = image;
    persistOrWarn([this] { saveProgram(); });
}

void TerminalState::saveProgram() const
{
    if (m_stateDir.empty()) {
        return;
    }
    // The header goes last: a reader that finds the new header finds the new image with it.
    writeFileAtomically(m_stateDir / "upload" / "program.bin", m_programImage);
    writeFileAtomically(m_stateDir / "upload" / "program.hea", m_programHeader);
}

void TerminalState::logEvent(std::string_view line)
{
    if (m_stateDir.empty()) {
        return;
    }
    // One event is one line whatever the caller passes.
    std::string clean(line);
    for (char& c : clean) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    m_events << clean << '\n';
    m_events.flush();
    if (!m_events) {
        std::cerr << "qel-sim: cannot write " << (m_stateDir / "events.log").string() << '\n';
        m_events.clear();
    }
}

std::string TerminalState::toJson() const
{
    Json root = Json::object();
    root["id"] = cp1252ToUtf8(m_id);
    root["body_template"] = cp1252ToUtf8(m_bodyTemplate);
    root["header_template"] = cp1252ToUtf8(m_headerTemplate);
    Json documents = Json::array();
    for (const auto& doc : m_documents) {
        Json entries = Json::array();
        for (const auto& entry : doc.entries) {
            entries.push_back(recordToJson(entry));
        }
        documents.push_back(Json{{"header", recordToJson(doc.header)}, {"entries", entries}});
    }
    root["documents"] = documents;
    return root.dump(2) + '\n';
}

void TerminalState::saveTerminal() const
{
    if (!m_stateDir.empty()) {
        writeFileAtomically(m_stateDir / "terminal.json", toJson());
    }
}

} // namespace qelsim
