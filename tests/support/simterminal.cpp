#include "simterminal.h"

#include "link/commlibrary.h"

#include <QDir>
#include <QFile>
#include <thread>

SimTerminal::SimTerminal(QString folder, int port)
    : m_folder(std::move(folder))
    , m_port(port)
    , m_savedConfigHome(qgetenv("XDG_CONFIG_HOME"))
    , m_hadConfigHome(qEnvironmentVariableIsSet("XDG_CONFIG_HOME"))
{
}

SimTerminal::~SimTerminal()
{
    if (m_hadConfigHome) {
        qputenv("XDG_CONFIG_HOME", m_savedConfigHome);
    } else {
        qunsetenv("XDG_CONFIG_HOME");
    }
}

bool SimTerminal::start(const QByteArray& terminalJson, const QStringList& options, QString* error)
{
    const auto fail = [error](const QString& reason) {
        if (error != nullptr) {
            *error = reason;
        }
        return false;
    };
    const QDir folder(m_folder);
    const QString link = folder.filePath(QStringLiteral("com%1").arg(m_port));
    if (!QDir().mkpath(folder.filePath(QStringLiteral("config/vorlak")))) {
        return fail(QStringLiteral("cannot create the config folder"));
    }
    QFile map(folder.filePath(QStringLiteral("config/vorlak/ports.conf")));
    QFile terminal(folder.filePath(QStringLiteral("terminal.json")));
    if (!map.open(QIODevice::WriteOnly) || !terminal.open(QIODevice::WriteOnly)) {
        return fail(QStringLiteral("cannot write the port map or the terminal file"));
    }
    map.write(QStringLiteral("COM%1=%2\n").arg(m_port).arg(link).toUtf8());
    map.close();
    terminal.write(terminalJson);
    terminal.close();
    qputenv("XDG_CONFIG_HOME", folder.filePath(QStringLiteral("config")).toUtf8());

    std::vector<std::string> args{
        "--terminal", terminal.fileName().toStdString(),
        "--link",     link.toStdString(),
        "--state",    folder.filePath(QStringLiteral("state")).toStdString()};
    for (const QString& option : options) {
        args.push_back(option.toStdString());
    }
    if (!m_sim.start(args)) {
        return fail(QString::fromStdString(m_sim.errorOutput()));
    }
    return true;
}

QString SimTerminal::statePath(const QString& relative) const
{
    return QDir(m_folder).filePath(QStringLiteral("state/") + relative);
}

QStringList SimTerminal::events() const
{
    QFile log(statePath(QStringLiteral("events.log")));
    if (!log.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

int SimTerminal::eventCount(const QString& line) const
{
    return static_cast<int>(events().count(line));
}

bool SimTerminal::answersCheck(CommLibrary& library, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    do {
        QByteArray id(8, ' ');
        if (library.I_CheckTerminal(id) != 0) {
            return true;
        }
        // A port that is not open answers at once: no need to spin.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}
