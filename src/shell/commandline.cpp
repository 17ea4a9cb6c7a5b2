#include "commandline.h"

#include "common/appidentity.h"

#include <algorithm>

namespace {

enum class Option { Help, Version, Unknown };

Option optionOf(std::string_view argument)
{
    if (argument == "--help" || argument == "-h") {
        return Option::Help;
    }
    if (argument == "--version" || argument == "-v") {
        return Option::Version;
    }
    return Option::Unknown;
}

CommandLineAnswer finish(int status, std::string output, std::string errors)
{
    return {false, status, std::move(output), std::move(errors)};
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
           "\n"
           "Reads the records of Qel data-collection terminals from their serial cradle.\n"
           "Started without arguments, Kolbrin opens its window.\n"
           "\n"
           "Options:\n"
           "  -h, --help     show this help and exit\n"
           "  -v, --version  show the version and exit\n"
           "\n"
           "Files, in the user's config folder ($XDG_CONFIG_HOME, ~/.config by default):\n"
           "  Kolbrin/Kolbrin.ini    the settings\n"
           "  vorlak/ports.conf      serial ports, lines such as COM1=/dev/ttyUSB0\n";
}

CommandLineAnswer answerCommandLine(const std::vector<std::string_view>& arguments)
{
    if (arguments.empty()) {
        return {};
    }
    const auto unknown = std::find_if(arguments.begin(), arguments.end(), [](auto argument) {
        return optionOf(argument) == Option::Unknown;
    });
    if (unknown != arguments.end()) {
        return finish(CommandLineAnswer::kUsageError, {},
                      "kolbrin: unknown argument '" + std::string(*unknown) + "'\n\n" +
                          commandLineUsage());
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
