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

/// Where udev names USB serial adapters after their maker, model and serial number, names that
/// stay the same whichever socket the adapter is plugged into.
inline constexpr const char* kSerialByIdFolder = "/dev/serial/by-id";

/// The device of a port (1..255) that the map does not name. On Windows \\.\COM<port>.
/// Elsewhere, with k entries in `serialById` (sorted by name), ports 1..k are those entries and
/// ports k+1, k+2, ... are /dev/ttyS0, /dev/ttyS1, ...; without the folder, or with an empty one,
/// port n is /dev/ttyS<n-1>. The folder is read afresh on every call, so a plugged-in adapter
/// counts at the next open.
[[nodiscard]] std::string defaultDevicePath(int port, const std::filesystem::path& serialById);

/// The device of port `port` (1..255): its line in the port map `mapFile` (no map when empty or
/// absent), otherwise defaultDevicePath(port, serialById).
[[nodiscard]] std::string devicePath(int port, const std::filesystem::path& mapFile,
                                     const std::filesystem::path& serialById);

/// devicePath() with the user's port map file and the system's by-id folder. The map is read
/// afresh on every call so an edit takes effect at the next open.
[[nodiscard]] std::string devicePath(int port);

} // namespace vorlak
