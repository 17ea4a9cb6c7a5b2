#include "options.h"

#include <cerrno>
#include <cstdlib>
#include <limits>
#include <set>

namespace qelsim {
namespace {

double parseProbability(const std::string& text)
{
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size() || errno != 0 || !(value >= 0.0) ||
        value > 1.0) {
        throw UsageError("--noise takes a probability from 0 to 1, not '" + text + "'");
    }
    return value;
}

std::uint64_t parseSeed(const std::string& text)
{
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(text.c_str(), &end, 10);
    if (text.empty() || text.front() == '-' || end != text.c_str() + text.size() || errno != 0) {
        throw UsageError("--seed takes a whole number, not '" + text + "'");
    }
    return value;
}

unsigned parseCount(const std::string& name, const std::string& text)
{
    char* end = nullptr;
    errno = 0;
    const unsigned long value = std::strtoul(text.c_str(), &end, 10);
    if (text.empty() || text.front() == '-' || end != text.c_str() + text.size() || errno != 0 ||
        value > std::numeric_limits<unsigned>::max()) {
        throw UsageError(name + " takes a whole number, not '" + text + "'");
    }
    return static_cast<unsigned>(value);
}

} // namespace

Options parseOptions(const std::vector<std::string>& args)
{
    Options options;
    std::set<std::string> seen;
    bool noiseGiven = false;
    bool seedGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> inlineValue;
        if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name.erase(eq);
        }
        if (name == "-h" || name == "--help") {
            options.help = true;
            return options;
        }
        if (!seen.insert(name).second) {
            throw UsageError(name + " given twice");
        }
        const bool takesValue = name == "--terminal" || name == "--link" || name == "--state" ||
                                name == "--noise" || name == "--seed" || name == "--upload-fail";
        const bool isFlag = name == "--removed" || name == "--modem" || name == "--line-rate";
        if (!takesValue && !isFlag) {
            throw UsageError(name.rfind('-', 0) == 0 ? "unknown option " + name
                                                     : "unexpected argument '" + name + "'");
        }
        if (isFlag && inlineValue) {
            throw UsageError(name + " takes no value");
        }
        std::string value;
        if (takesValue) {
            if (inlineValue) {
                value = *inlineValue;
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                throw UsageError(name + " needs a value");
            }
            if (value.empty()) {
                throw UsageError(name + " needs a value");
            }
        }
        if (name == "--terminal") {
            options.terminalFile = value;
        } else if (name == "--link") {
            options.link = value;
        } else if (name == "--state") {
            options.stateDir = value;
        } else if (name == "--noise") {
            options.noise = parseProbability(value);
            noiseGiven = true;
        } else if (name == "--seed") {
            options.seed = parseSeed(value);
            seedGiven = true;
        } else if (name == "--upload-fail") {
            options.uploadFail = parseCount(name, value);
        } else if (name == "--removed") {
            options.removed = true;
        } else if (name == "--modem") {
            options.modem = true;
        } else {
            options.lineRate = true;
        }
    }
    if (options.terminalFile.empty()) {
        throw UsageError("--terminal FILE is required");
    }
    // Noise is only worth having when a run can be repeated.
    if (noiseGiven && !seedGiven) {
        throw UsageError("--noise needs --seed N, so that a run can be repeated");
    }
    return options;
}

std::string usageText()
{
    return "usage: qel-sim --terminal FILE [--link PATH] [--state DIR] [--removed] [--modem]\n"
           "               [--line-rate] [--noise P --seed N] [--upload-fail N]\n"
           "\n"
           "A simulated Qel terminal on its cradle, served on a pseudo-terminal.\n"
           "\n"
           "  --terminal FILE    the terminal's identity, templates and documents (JSON)\n"
           "  --link PATH        make PATH a symbolic link to the pseudo-terminal\n"
           "  --state DIR        keep the terminal's state, events.log, lists and program in DIR\n"
           "  --removed          start with the terminal off the cradle\n"
           "  --modem            put a Hayes modem between the port and the terminal\n"
           "  --line-rate        carry bytes at the speed set on the line (9600 baud: 960 "
           "bytes/s)\n"
           "  --noise P          lose or change each byte sent with probability P (0..1)\n"
           "  --seed N           seed of the noise\n"
           "  --upload-fail N    refuse the first N program uploads\n"
           "\n"
           "Prints 'ready <pseudo-terminal>' once it serves, then reads commands on standard\n"
           "input, one a line: place, remove, call, hangup, quit. Each command that took\n"
           "effect is answered 'ok <command>'. Ends on quit or at the end of its input.\n"
           "Exit status: 0 done, 1 system failure, 2 bad command line or terminal file.\n";
}

} // namespace qelsim
