// qel-sim: a simulated Qel terminal on its cradle, served on a pseudo-terminal.
#include "options.h"
#include "programreceiver.h"
#include "protocolserver.h"
#include "pseudoterminal.h"
#include "simulator.h"
#include "terminalstate.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <iostream>
#include <optional>
#include <system_error>
#include <unistd.h>

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

int g_stopWrite = -1;

extern "C" void onStopSignal(int /*signal*/)
{
    const int saved = errno;
    const char byte = 's';
    [[maybe_unused]] const auto ignored = write(g_stopWrite, &byte, 1);
    errno = saved;
}

// A signal ends the run through the main loop, so the link is removed as after `quit`.
int installStopSignals()
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        return -1;
    }
    g_stopWrite = fds[1];
    struct sigaction action
    {
    };
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(sig, &action, nullptr);
    }
    return fds[0];
}

} // namespace

int main(int argc, char** argv)
{
    using namespace qelsim;
    // Started with a standard descriptor closed, the pseudo-terminal could take its number and
    // receive our messages: give each closed one /dev/null instead.
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) == -1) {
            open("/dev/null", O_RDWR);
        }
    }
    // Nobody reading our output must not kill us before the link is removed.
    std::signal(SIGPIPE, SIG_IGN);

    Options options;
    try {
        options = parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const UsageError& e) {
        std::cerr << "qel-sim: " << e.what() << "\n\n" << usageText();
        return kExitUsage;
    }
    if (options.help) {
        std::cout << usageText();
        return 0;
    }

    TerminalState state;
    try {
        state = TerminalState::fromFile(options.terminalFile);
    } catch (const TerminalFileError& e) {
        std::cerr << "qel-sim: " << e.what() << '\n';
        return kExitUsage;
    }

    // Before the link exists, so that no signal can end the run without removing it.
    const int stopFd = installStopSignals();
    try {
        if (!options.stateDir.empty()) {
            state.attachStateDir(options.stateDir);
        }
        PseudoTerminal line;
        std::optional<PortLink> link;
        if (!options.link.empty()) {
            link.emplace(options.link, line.slavePath());
        }
        ProtocolServer server(state);
        ProgramReceiver terminal(state, server, options.uploadFail);
        LineOptions lineOptions;
        lineOptions.noiseProbability = options.noise;
        lineOptions.seed = options.seed;
        lineOptions.lineRate = options.lineRate;
        lineOptions.modem = options.modem;
        Simulator simulator(line, terminal, lineOptions, std::cout, std::cerr,
                            [&state](std::string_view event) { state.logEvent(event); });
        simulator.setInCradle(!options.removed);
        std::cout << "ready " << line.slavePath() << std::endl;
        simulator.run(STDIN_FILENO, stopFd);
    } catch (const StateDirError& e) {
        std::cerr << "qel-sim: " << e.what() << '\n';
        return kExitFailure;
    } catch (const std::system_error& e) {
        std::cerr << "qel-sim: " << e.what() << '\n';
        return kExitFailure;
    }
    return 0;
}
