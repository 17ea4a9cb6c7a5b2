#pragma once

#include "qelsimprocess.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

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

private:
    QString m_folder;
    int m_port;
    QByteArray m_savedConfigHome;
    bool m_hadConfigHome;
    QelSimProcess m_sim;
};
