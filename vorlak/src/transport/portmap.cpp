#include "portmap.h"

#include <cctype>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <sstream>

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

std::string defaultDevice(int port)
{
#ifdef _WIN32
    return "\\\\.\\COM" + std::to_string(port);
#else
    return "/dev/ttyS" + std::to_string(port - 1);
#endif
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

std::string devicePath(int port)
{
    const std::filesystem::path file = portMapFile();
    if (!file.empty()) {
        std::ifstream in(file);
        if (in) {
            std::ostringstream text;
            text << in.rdbuf();
            const auto map = parsePortMap(text.str());
            if (const auto found = map.find(port); found != map.end()) {
                return found->second;
            }
        }
    }
    return defaultDevice(port);
}

} // namespace vorlak
