#pragma once

#include <functional>
#include <sys/wait.h>
#include <unistd.h>

/// The user "nobody", which root turns into to meet a device as an ordinary user would.
inline constexpr uid_t kOrdinaryUser = 65534;

/// Runs `check` in a child process that has given up root for kOrdinaryUser; true when the
/// child could do so and `check` held.
inline bool holdsAsOrdinaryUser(const std::function<bool()>& check)
{
    const pid_t child = fork();
    if (child == 0) {
        _exit(setuid(kOrdinaryUser) == 0 && check() ? 0 : 1);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}
