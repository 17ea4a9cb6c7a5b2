#pragma once

#include "qelsimprocess.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <chrono>

class CommLibrary;

/// A real qel-sim terminal for program-side tests: the simulator serves `terminalJson` on a
/// pseudo-terminal linked as <folder>/com<port>, and a port map under <folder>/config (made the
/// user's config folder for the test's lifetime) maps that port number to it. The state folder
/// is <folder>/state.
class SimTerminal
{
public:
    SimTerminal(QString folder, int port);
    ~SimTerminal();
    SimTerminal(const SimTerminal&) = delete;
    SimTerminal& operator=(const SimTerminal&) = delete;

    /// Writes the terminal file and the port map and starts qel-sim; false with the reason.
    [[nodiscard]] bool start(const QByteArray& terminalJson, const QStringList& options = {},
                             QString* error = nullptr);

    [[nodiscard]] QelSimProcess& process() { return m_sim; }
    [[nodiscard]] int port() const { return m_port; }
    [[nodiscard]] QString statePath(const QString& relative) const;
    /// How many lines of events.log read exactly `line`.
    [[nodiscard]] int eventCount(const QString& line) const;
    [[nodiscard]] QStringList events() const;

    /// Whether a presence check through `library` is answered within `limit`. The library gives
    /// one check 160 ms, as the program's polling cycle needs, and the simulator is a process
    /// that a loaded machine may not run within that: checks are repeated, as the polling timer
    /// repeats them, until one is answered. A port that is not open for the terminal never
    /// answers, however long the wait.
    [[nodiscard]] static bool answersCheck(CommLibrary& library,
                                           std::chrono::milliseconds limit = kAnswerLimit);

    /// Far beyond the time a check takes, however busy the machine.
    static constexpr std::chrono::milliseconds kAnswerLimit{20000};

private:
    QString m_folder;
    int m_port;
    QByteArray m_savedConfigHome;
    bool m_hadConfigHome;
    QelSimProcess m_sim;
};
