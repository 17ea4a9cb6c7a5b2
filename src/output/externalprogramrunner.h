#pragma once

#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>

class EventPump;
class UserDialogs;

/// Splits a command line into program and arguments the way a POSIX shell splits words: blanks
/// separate, single quotes keep everything literally, double quotes keep everything but a
/// backslash before $ ` " \ or a line break, and outside quotes a backslash keeps the next
/// character. Nothing else of a shell applies (no variables, wildcards, redirections or command
/// separators). nullopt, with the reason in *error, for a quote that is not closed.
[[nodiscard]] std::optional<QStringList> splitCommandLine(const QString& commandLine,
                                                          QString* error = nullptr);

/// How a run of the external program went.
struct RunResult
{
    bool started = false;
    /// The program's exit code; -1 when it did not end normally (crash, killed).
    int exitCode = 0;
    /// Why it could not be started, or how it ended abnormally; empty otherwise.
    QString error;
};

/// Runs the user's external program after a reading and waits for it to end, while the main
/// window keeps handling its events (timer ticks may run nested deliveries meanwhile).
class ExternalProgramRunner
{
public:
    static constexpr std::chrono::milliseconds kPollPeriod{500};

    ExternalProgramRunner(EventPump& pump, UserDialogs& dialogs);

    /// Starts the command directly (no shell) and returns once it has ended: the first check
    /// comes right after the start, later ones after each half-second wait with events running,
    /// so it returns within about half a second after the end. The program's output goes to the
    /// program's own output; its input is empty. A command that cannot be started (no such file,
    /// no permission, a quote not closed, nothing to run) gets a message naming the command and
    /// the reason, and the result says started=false.
    RunResult runProgram(const QString& commandLine);

private:
    RunResult refuse(const QString& commandLine, const QString& reason);

    EventPump& m_pump;
    UserDialogs& m_dialogs;
};
