#pragma once

#include <string>
#include <string_view>
#include <vector>

/// What the program does with its command line, decided before any window or display is
/// needed: `kolbrin --version` and `kolbrin --help` answer on the terminal, anything else
/// but no argument at all is a usage error.
struct CommandLineAnswer
{
    static constexpr int kUsageError = 2;

    bool startProgram = true; ///< no arguments: the program opens its window as usual
    int exitStatus = 0;       ///< the status to end with when not starting
    std::string standardOutput;
    std::string errorOutput;
};

/// The answer to `arguments` (without the program's own name). An unknown argument anywhere
/// is an error naming the first one; otherwise the first argument decides.
[[nodiscard]] CommandLineAnswer answerCommandLine(const std::vector<std::string_view>& arguments);

/// The same for main()'s arguments.
[[nodiscard]] CommandLineAnswer answerCommandLine(int argc, const char* const* argv);

/// The usage text printed by --help and after a usage error.
[[nodiscard]] std::string commandLineUsage();

/// The version as --version prints it: "Kolbrin " and major.minor.revision.
[[nodiscard]] std::string versionLine();
