#include "portmap.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>

namespace vorlak {
namespace {

std::string_view trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

bool startsWithCom(std::string_view text)
{
    return text.size() >= 3 && std::tolower(static_cast<unsigned char>(text[0])) == 'c' &&
           std::tolower(static_cast<unsigned char>(text[1])) == 'o' &&
           std::tolower(static_cast<unsigned char>(text[2])) == 'm';
}

} // namespace

std::map<int, std::string> parsePortMap(std::string_view text)
{
    std::map<int, std::string> map;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);

        line = line.substr(0, line.find('#'));
        const auto equals = line.find('=');
        if (equals == std::string_view::npos) {
            continue;
        }
        const std::string_view key = trimmed(line.substr(0, equals));
        const std::string_view device = trimmed(line.substr(equals + 1));
        if (!startsWithCom(key) || device.empty()) {
            continue;
        }
        const std::string_view digits = trimmed(key.substr(3));
        int port = 0;
        const auto [rest, error] =
            std::from_chars(digits.data(), digits.data() + digits.size(), port);
        if (error != std::errc{} || rest != digits.data() + digits.size() || port < kFirstPort ||
            port > kLastPort) {
            continue;
        }
        map[port] = std::string(device);
    }
    return map;
}

std::filesystem::path portMapFile()
{
    std::filesystem::path config;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && std::filesystem::path(xdg).is_absolute()) {
        config = xdg;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        config = std::filesystem::path(home) / ".config";
    } else {
        return {};
    }
    return config / "vorlak" / "ports.conf";
}

std::string defaultDevicePath(int port, const std::filesystem::path& serialById)
{
#ifdef _WIN32
    static_cast<void>(serialById);
    return "\\\\.\\COM" + std::to_string(port);
#else
    // An unreadable or missing folder counts as empty: the machine has no USB adapters then.
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator it(serialById, error), end; !error && it != end;
         it.increment(error)) {
        std::error_code ignored;
        if (!it->is_directory(ignored)) {
            names.push_back(it->path().filename().string());
        }
    }
    std::sort(names.begin(), names.end());
    const auto adapters = static_cast<int>(names.size());
    if (port >= 1 && port <= adapters) {
        return (serialById / names[static_cast<std::size_t>(port - 1)]).string();
    }
    return "/dev/ttyS" + std::to_string(port - 1 - adapters);
#endif
}

std::string devicePath(int port, const std::filesystem::path& mapFile,
                       const std::filesystem::path& serialById)
{
    if (!mapFile.empty()) {
        std::ifstream in(mapFile);
        if (in) {
            std::ostringstream text;
            text << in.rdbuf();
            const auto map = parsePortMap(text.str());
            if (const auto found = map.find(port); found != map.end()) {
                return found->second;
            }
        }
    }
    return defaultDevicePath(port, serialById);
}

std::string devicePath(int port)
{
    return devicePath(port, portMapFile(), kSerialByIdFolder);
}

} // namespace vorlak
