#include "qelsimprocess.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

void closeFd(int& fd)
{
    if (fd >= 0) {
        close(fd);
        fd = -1;
    }
}

} // namespace

QelSimProcess::~QelSimProcess()
{
    // The end of its input ends the program cleanly; a program that hangs is killed.
    closeFd(m_input);
    if (m_pid > 0 && !m_status && !wait(Milliseconds(10000))) {
        kill(m_pid, SIGKILL);
        int status = 0;
        waitpid(m_pid, &status, 0);
    }
    closeFd(m_output);
    closeFd(m_error);
}

std::string QelSimProcess::programPath()
{
    if (const char* dir = std::getenv("KOLBRIN_BIN_DIR"); dir != nullptr && *dir != '\0') {
        return std::string(dir) + "/qel-sim";
    }
    // Test programs land in <build>/tests and programs in <build>/bin.
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return (self.parent_path().parent_path() / "bin" / "qel-sim").string();
}

bool QelSimProcess::launch(const std::vector<std::string>& args)
{
    std::array<int, 2> in{};
    std::array<int, 2> out{};
    std::array<int, 2> err{};
    if (pipe2(in.data(), O_CLOEXEC) != 0 || pipe2(out.data(), O_CLOEXEC) != 0 ||
        pipe2(err.data(), O_CLOEXEC) != 0) {
        return false;
    }
    const std::string program = programPath();
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargv;
    for (auto& arg : argv) {
        cargv.push_back(arg.data());
    }
    cargv.push_back(nullptr);

    m_pid = fork();
    if (m_pid == 0) {
        // The test may run with its own standard descriptors closed (ctest does), so a pipe can
        // sit on 0, 1 or 2: move all three out of the way before putting them in place.
        const int childIn = fcntl(in[0], F_DUPFD_CLOEXEC, 3);
        const int childOut = fcntl(out[1], F_DUPFD_CLOEXEC, 3);
        const int childErr = fcntl(err[1], F_DUPFD_CLOEXEC, 3);
        dup2(childIn, STDIN_FILENO);
        dup2(childOut, STDOUT_FILENO);
        dup2(childErr, STDERR_FILENO);
        execv(program.c_str(), cargv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    m_input = in[1];
    m_output = out[0];
    m_error = err[0];
    fcntl(m_output, F_SETFL, O_NONBLOCK);
    fcntl(m_error, F_SETFL, O_NONBLOCK);
    return m_pid > 0;
}

bool QelSimProcess::start(const std::vector<std::string>& args, Milliseconds limit)
{
    if (!launch(args) || !waitForOutput("\n", 0, limit)) {
        return false;
    }
    const std::string firstLine = m_out.substr(0, m_out.find('\n'));
    if (firstLine.rfind("ready ", 0) != 0) {
        return false;
    }
    m_slavePath = firstLine.substr(6);
    m_ackFrom = firstLine.size() + 1;
    return true;
}

void QelSimProcess::send(const std::string& line)
{
    const std::string text = line + '\n';
    if (m_input >= 0) {
        [[maybe_unused]] const auto written = write(m_input, text.data(), text.size());
    }
}

bool QelSimProcess::command(const std::string& line, Milliseconds limit)
{
    send(line);
    const std::string ack = "ok " + line + '\n';
    if (!waitForOutput(ack, m_ackFrom, limit)) {
        return false;
    }
    m_ackFrom = m_out.find(ack, m_ackFrom) + ack.size();
    return true;
}

void QelSimProcess::closeInput()
{
    closeFd(m_input);
}

std::optional<int> QelSimProcess::wait(Milliseconds limit)
{
    const auto deadline = Clock::now() + limit;
    while (!m_status && m_pid > 0) {
        int status = 0;
        const pid_t done = waitpid(m_pid, &status, WNOHANG);
        if (done == m_pid) {
            m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        if (Clock::now() >= deadline) {
            break;
        }
        drain(Milliseconds(10));
    }
    if (m_status) {
        drain(Milliseconds(0)); // what it wrote last
    }
    return m_status;
}

const std::string& QelSimProcess::output()
{
    drain(Milliseconds(0));
    return m_out;
}

const std::string& QelSimProcess::errorOutput()
{
    drain(Milliseconds(0));
    return m_err;
}

void QelSimProcess::drain(Milliseconds limit)
{
    std::array<pollfd, 2> fds{{{m_output, POLLIN, 0}, {m_error, POLLIN, 0}}};
    if (poll(fds.data(), fds.size(), static_cast<int>(limit.count())) <= 0) {
        return;
    }
    std::array<char, 4096> buffer{};
    for (auto [fd, text] : {std::pair{&m_output, &m_out}, std::pair{&m_error, &m_err}}) {
        ssize_t n = 0;
        while (*fd >= 0 && (n = read(*fd, buffer.data(), buffer.size())) > 0) {
            text->append(buffer.data(), static_cast<std::size_t>(n));
        }
        if (n == 0) {
            closeFd(*fd); // the program closed it: nothing more will come
        }
    }
}

bool QelSimProcess::waitForOutput(const std::string& text, std::size_t from, Milliseconds limit)
{
    const auto deadline = Clock::now() + limit;
    while (m_out.find(text, from) == std::string::npos) {
        const auto left = std::chrono::duration_cast<Milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return false;
        }
        drain(std::min(left, Milliseconds(50)));
        int status = 0;
        if (!m_status && waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (m_status) {
            drain(Milliseconds(0));
            return m_out.find(text, from) != std::string::npos;
        }
    }
    return true;
}
