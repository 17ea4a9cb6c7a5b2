#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

/// A command that reads the journal, for scripts and schedulers: no window, no display.
struct JournalRequest
{
    enum class Kind {
        History, ///< `--history [--json] [--limit N]`: the readings, newest first
        Export,  ///< `--export ID FILE`: one reading's text written to a file
    };
    Kind kind = Kind::History;
    bool json = false; ///< --history: one JSON array instead of lines
    int limit = 0;     ///< --history: at most this many readings; 0 for all
    std::int64_t id = 0;
    std::string file; ///< --export: the path as given

    friend bool operator==(const JournalRequest&, const JournalRequest&) = default;
};

/// What the program does with its command line, decided before any window or display is
/// needed: `kolbrin --version` and `kolbrin --help` answer on the terminal, `--history` and
/// `--export` are journal commands, anything else but no argument at all is a usage error.
struct CommandLineAnswer
{
    static constexpr int kUsageError = 2;
    static constexpr int kFailure = 1;

    bool startProgram = true; ///< no arguments: the program opens its window as usual
    int exitStatus = 0;       ///< the status to end with when not starting
    std::string standardOutput;
    std::string errorOutput;
    /// Set for a journal command: instead of starting, the program opens the journal and
    /// answers with runJournalCommand() (shell/journalcommands.h).
    std::optional<JournalRequest> journal;
};

/// The answer to `arguments` (without the program's own name). The first argument decides:
/// after --help or --version only these two may follow, after --history only --json and
/// --limit N, after --export exactly an id and a file. Anything else is a usage error naming
/// the first argument that does not fit.
[[nodiscard]] CommandLineAnswer answerCommandLine(const std::vector<std::string_view>& arguments);

/// The same for main()'s arguments.
[[nodiscard]] CommandLineAnswer answerCommandLine(int argc, const char* const* argv);

/// The usage text printed by --help and after a usage error.
[[nodiscard]] std::string commandLineUsage();

/// The version as --version prints it: "Kolbrin " and major.minor.revision.
[[nodiscard]] std::string versionLine();
