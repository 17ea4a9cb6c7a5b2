#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

/// Runs the real qel-sim program (from KOLBRIN_BIN_DIR, else the build's bin folder) for a test:
/// its standard input takes commands, its output and error output are collected. Every wait ends
/// as soon as what it waits for happens and has a limit far beyond the time that takes on a busy
/// machine; a process still running when the object goes is killed.
class QelSimProcess
{
public:
    using Milliseconds = std::chrono::milliseconds;
    /// Default limit of every wait: it only stops a hung simulator from hanging the test.
    static constexpr Milliseconds kLimit{30000};

    QelSimProcess() = default;
    ~QelSimProcess();
    QelSimProcess(const QelSimProcess&) = delete;
    QelSimProcess& operator=(const QelSimProcess&) = delete;

    /// <build>/bin/qel-sim: KOLBRIN_BIN_DIR if set, else found from the test program's place.
    [[nodiscard]] static std::string programPath();

    /// Starts qel-sim with `args` and waits for its "ready <path>" line. False if it ended or
    /// stayed silent instead; output() and errorOutput() tell why.
    [[nodiscard]] bool start(const std::vector<std::string>& args, Milliseconds limit = kLimit);
    /// Starts qel-sim without waiting for it to serve (for command lines meant to fail).
    [[nodiscard]] bool launch(const std::vector<std::string>& args);

    /// The pseudo-terminal named by "ready".
    [[nodiscard]] const std::string& slavePath() const { return m_slavePath; }
    [[nodiscard]] pid_t pid() const { return m_pid; }

    /// Sends one command line and waits for its "ok <command>" acknowledgement.
    [[nodiscard]] bool command(const std::string& line, Milliseconds limit = kLimit);
    /// Sends a line without waiting for anything.
    void send(const std::string& line);
    /// Ends the program's input.
    void closeInput();

    /// Waits for the program to end: its exit status, 128 + signal number if a signal ended
    /// it, nothing if it still runs at the limit.
    [[nodiscard]] std::optional<int> wait(Milliseconds limit = kLimit);

    /// Everything written so far on standard output and on error output.
    [[nodiscard]] const std::string& output();
    [[nodiscard]] const std::string& errorOutput();

private:
    // Reads what is waiting on the output pipes, waiting up to `limit` for something.
    void drain(Milliseconds limit);
    bool waitForOutput(const std::string& text, std::size_t from, Milliseconds limit);

    pid_t m_pid = -1;
    int m_input = -1;
    int m_output = -1;
    int m_error = -1;
    std::string m_out;
    std::string m_err;
    std::size_t m_ackFrom = 0;
    std::string m_slavePath;
    std::optional<int> m_status;
};
