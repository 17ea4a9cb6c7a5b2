#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>

namespace vorlak {

/// Lowest and highest port number the library accepts.
inline constexpr int kFirstPort = 1;
inline constexpr int kLastPort = 255;

/// Reads a port map: one "COM<n>=<device path>" a line; '#' starts a comment; blank lines,
/// lines that do not parse and port numbers outside 1..255 are ignored ("com" is matched
/// without regard to case, spaces around the parts are dropped). A later line for the same
/// port wins.
[[nodiscard]] std::map<int, std::string> parsePortMap(std::string_view text);

/// The port map file: vorlak/ports.conf in the user's config folder ($XDG_CONFIG_HOME, or
/// ~/.config when that is unset or not absolute). Empty when neither can be found.
[[nodiscard]] std::filesystem::path portMapFile();

/// The device of port `port` (1..255): its line in the port map, read afresh on every call so an
/// edit takes effect at the next open; otherwise the platform's default (/dev/ttyS<port-1>).
[[nodiscard]] std::string devicePath(int port);

} // namespace vorlak
