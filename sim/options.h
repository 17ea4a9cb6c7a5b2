#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace qelsim {

/// The simulator's command line.
struct Options
{
    std::string terminalFile;
    std::string link;
    std::string stateDir;
    bool removed = false;
    bool modem = false;
    bool lineRate = false;
    double noise = 0.0;
    std::uint64_t seed = 1;
    unsigned uploadFail = 0; // program uploads to refuse before one is accepted
    bool help = false;
};

/// A command line that cannot be used; what() says why, in one line.
class UsageError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

/// Arguments after the program name. Throws UsageError.
[[nodiscard]] Options parseOptions(const std::vector<std::string>& args);

/// The usage text printed with --help and after a usage error.
[[nodiscard]] std::string usageText();

} // namespace qelsim
