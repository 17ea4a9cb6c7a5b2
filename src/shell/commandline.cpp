#include "commandline.h"

#include "common/appidentity.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace {

enum class Option { Help, Version, History, Export, Json, Limit, Unknown };

Option optionOf(std::string_view argument)
{
    if (argument == "--help" || argument == "-h") {
        return Option::Help;
    }
    if (argument == "--version" || argument == "-v") {
        return Option::Version;
    }
    if (argument == "--history") {
        return Option::History;
    }
    if (argument == "--export") {
        return Option::Export;
    }
    if (argument == "--json") {
        return Option::Json;
    }
    if (argument == "--limit") {
        return Option::Limit;
    }
    return Option::Unknown;
}

CommandLineAnswer finish(int status, std::string output, std::string errors)
{
    return {false, status, std::move(output), std::move(errors), std::nullopt};
}

CommandLineAnswer usageError(const std::string& problem)
{
    return finish(CommandLineAnswer::kUsageError, {},
                  "kolbrin: " + problem + "\n\n" + commandLineUsage());
}

CommandLineAnswer unknownArgument(std::string_view argument)
{
    return usageError("unknown argument '" + std::string(argument) + "'");
}

CommandLineAnswer journalCommand(JournalRequest request)
{
    CommandLineAnswer answer = finish(0, {}, {});
    answer.journal = std::move(request);
    return answer;
}

// Digits only (no sign, no spaces), 1 or more and at most `largest`.
std::optional<std::int64_t> countingNumber(std::string_view text, std::int64_t largest)
{
    if (text.empty() ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 1 || value > largest) {
        return std::nullopt;
    }
    return value;
}

// --history [--json] [--limit N], in any order, each at most once.
CommandLineAnswer parseHistory(const std::vector<std::string_view>& arguments)
{
    JournalRequest request;
    bool limitGiven = false;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        const Option option = optionOf(argument);
        if ((option == Option::Json && request.json) || (option == Option::Limit && limitGiven)) {
            return usageError(std::string(argument) + " is given twice");
        }
        if (option == Option::Json) {
            request.json = true;
        } else if (option == Option::Limit) {
            if (i + 1 == arguments.size()) {
                return usageError("--limit needs a whole number of 1 or more");
            }
            const std::string_view value = arguments[++i];
            const std::optional<std::int64_t> limit =
                countingNumber(value, std::numeric_limits<int>::max());
            if (!limit) {
                return usageError("--limit '" + std::string(value) +
                                  "' is not a whole number of 1 or more");
            }
            request.limit = static_cast<int>(*limit);
            limitGiven = true;
        } else {
            return unknownArgument(argument);
        }
    }
    return journalCommand(std::move(request));
}

// --export ID FILE
CommandLineAnswer parseExport(const std::vector<std::string_view>& arguments)
{
    if (arguments.size() < 3) {
        return usageError("--export needs a reading id and a file");
    }
    const std::optional<std::int64_t> id =
        countingNumber(arguments[1], std::numeric_limits<std::int64_t>::max());
    if (!id) {
        return usageError("--export '" + std::string(arguments[1]) +
                          "' is not a reading id (a whole number of 1 or more)");
    }
    if (arguments[2].empty()) {
        return usageError("--export needs a file name after the id");
    }
    if (arguments.size() > 3) {
        return unknownArgument(arguments[3]);
    }
    JournalRequest request;
    request.kind = JournalRequest::Kind::Export;
    request.id = *id;
    request.file = std::string(arguments[2]);
    return journalCommand(std::move(request));
}

} // namespace

std::string versionLine()
{
    return AppIdentity::productName().toStdString() + ' ' +
           std::to_string(AppIdentity::kVersionMajor) + '.' +
           std::to_string(AppIdentity::kVersionMinor) + '.' +
           std::to_string(AppIdentity::kVersionRevision) + '\n';
}

std::string commandLineUsage()
{
    return "Usage: kolbrin [--help | --version]\n"
           "       kolbrin --history [--json] [--limit N]\n"
           "       kolbrin --export ID FILE\n"
           "\n"
           "Reads the records of Qel data-collection terminals from their serial cradle.\n"
           "Started without arguments, Kolbrin opens its window.\n"
           "\n"
           "Options:\n"
           "  -h, --help        show this help and exit\n"
           "  -v, --version     show the version and exit\n"
           "  --history         list the readings of the journal, newest first, and exit\n"
           "    --json          as one JSON array of objects instead of lines\n"
           "    --limit N       only the N newest readings\n"
           "  --export ID FILE  write the text of reading ID to FILE as it was delivered,\n"
           "                    and exit\n"
           "\n"
           "--history and --export need no display. Exit status: 0 done, 1 failed (unknown\n"
           "reading, file not written, journal not readable), 2 wrong arguments.\n"
           "\n"
           "Files, in the user's config folder ($XDG_CONFIG_HOME, ~/.config by default):\n"
           "  Kolbrin/Kolbrin.ini    the settings\n"
           "  vorlak/ports.conf      serial ports, lines such as COM1=/dev/ttyUSB0\n"
           "The journal of readings is kept in the user's data folder ($XDG_DATA_HOME,\n"
           "~/.local/share by default).\n";
}

CommandLineAnswer answerCommandLine(const std::vector<std::string_view>& arguments)
{
    if (arguments.empty()) {
        return {};
    }
    switch (optionOf(arguments.front())) {
    case Option::History:
        return parseHistory(arguments);
    case Option::Export:
        return parseExport(arguments);
    case Option::Json:
    case Option::Limit:
        return usageError(std::string(arguments.front()) + " goes after --history");
    case Option::Unknown:
        return unknownArgument(arguments.front());
    case Option::Help:
    case Option::Version:
        break;
    }
    const auto other = std::find_if(arguments.begin(), arguments.end(), [](auto argument) {
        const Option option = optionOf(argument);
        return option != Option::Help && option != Option::Version;
    });
    if (other != arguments.end()) {
        return unknownArgument(*other);
    }
    if (optionOf(arguments.front()) == Option::Help) {
        return finish(0, commandLineUsage(), {});
    }
    return finish(0, versionLine(), {});
}

CommandLineAnswer answerCommandLine(int argc, const char* const* argv)
{
    std::vector<std::string_view> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.emplace_back(argv[i]);
    }
    return answerCommandLine(arguments);
}
