#pragma once

#include "ordinaryuser.h"

#include <csignal>
#include <functional>
#include <poll.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

/// Another program holding a device: a child process of the test, named `name` (as ps and
/// /proc/<pid>/comm show it), that runs `hold` and keeps what it opened until release().
class HoldingChild
{
public:
    HoldingChild(const std::string& name, const std::function<bool()>& hold,
                 const std::function<void()>& release)
    {
        int report[2];
        int command[2];
        if (pipe(report) != 0 || pipe(command) != 0) {
            return;
        }
        m_pid = fork();
        if (m_pid == 0) {
            close(report[0]);
            close(command[1]);
            prctl(PR_SET_NAME, name.c_str(), 0, 0, 0);
            const char held = hold() ? '1' : '0';
            static_cast<void>(write(report[1], &held, 1));
            char go = 0;
            static_cast<void>(read(command[0], &go, 1));
            release();
            _exit(0);
        }
        close(report[1]);
        close(command[0]);
        m_report = report[0];
        m_command = command[1];
        pollfd ready{m_report, POLLIN, 0};
        char held = 0;
        m_holding =
            m_pid > 0 && poll(&ready, 1, 5000) == 1 && read(m_report, &held, 1) == 1 && held == '1';
    }
    ~HoldingChild()
    {
        if (m_pid > 0 && !m_ended) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        close(m_report);
        close(m_command);
    }
    HoldingChild(const HoldingChild&) = delete;
    HoldingChild& operator=(const HoldingChild&) = delete;

    /// Whether the child runs and `hold` succeeded in it.
    [[nodiscard]] bool holding() const { return m_holding; }
    [[nodiscard]] pid_t pid() const { return m_pid; }

    /// Lets the child run `release` and end; true when it ended normally.
    bool release()
    {
        static_cast<void>(write(m_command, "x", 1));
        int status = 0;
        m_ended = waitpid(m_pid, &status, 0) == m_pid;
        return m_ended && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

private:
    pid_t m_pid = -1;
    int m_report = -1;
    int m_command = -1;
    bool m_holding = false;
    bool m_ended = false;
};
