#include "postgrescluster.h"

#include <QProcess>
#include <pwd.h>
#include <unistd.h>

namespace {

const QString kBinaries = QStringLiteral("/usr/lib/postgresql/15/bin/");
const QString kUser = QStringLiteral("kolbrin");

} // namespace

PostgresCluster::~PostgresCluster()
{
    if (m_running) {
        (void)stop();
    }
}

bool PostgresCluster::run(const QString& program, const QStringList& arguments, bool asOwner)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    QString command = kBinaries + program;
    QStringList args = arguments;
    if (asOwner && geteuid() == 0) {
        args.prepend(command);
        args.prepend(QStringLiteral("--"));
        args.prepend(QStringLiteral("nobody"));
        args.prepend(QStringLiteral("-u"));
        command = QStringLiteral("runuser");
    }
    process.start(command, args);
    if (!process.waitForFinished(60'000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        m_problem = QStringLiteral("%1 failed (%2): %3")
                        .arg(program, process.errorString(),
                             QString::fromLocal8Bit(process.readAll()).trimmed());
        return false;
    }
    return true;
}

bool PostgresCluster::create()
{
    if (!m_dir.isValid()) {
        m_problem = QStringLiteral("no temporary folder: ") + m_dir.errorString();
        return false;
    }
    if (geteuid() == 0) {
        const passwd* nobody = getpwnam("nobody");
        if (nobody == nullptr ||
            chown(m_dir.path().toLocal8Bit().constData(), nobody->pw_uid, nobody->pw_gid) != 0) {
            m_problem = QStringLiteral("the temporary folder could not be given to nobody");
            return false;
        }
    }
    // No fsync: the cluster is thrown away, and a test that stops it stops it cleanly.
    return run(QStringLiteral("initdb"),
               {QStringLiteral("-D"), m_dir.filePath(QStringLiteral("data")), QStringLiteral("-U"),
                kUser, QStringLiteral("-A"), QStringLiteral("trust"), QStringLiteral("--no-sync"),
                QStringLiteral("-E"), QStringLiteral("UTF8")},
               true) &&
           start();
}

bool PostgresCluster::start()
{
    m_running = run(QStringLiteral("pg_ctl"),
                    {QStringLiteral("-D"), m_dir.filePath(QStringLiteral("data")),
                     QStringLiteral("-l"), m_dir.filePath(QStringLiteral("server.log")),
                     QStringLiteral("-w"), QStringLiteral("-o"),
                     QStringLiteral("-k %1 -c listen_addresses= -F").arg(m_dir.path()),
                     QStringLiteral("start")},
                    true);
    return m_running;
}

bool PostgresCluster::stop()
{
    const bool stopped =
        run(QStringLiteral("pg_ctl"),
            {QStringLiteral("-D"), m_dir.filePath(QStringLiteral("data")), QStringLiteral("-m"),
             QStringLiteral("fast"), QStringLiteral("-w"), QStringLiteral("stop")},
            true);
    m_running = !stopped;
    return stopped;
}

bool PostgresCluster::createDatabase(const QString& name)
{
    return run(QStringLiteral("createdb"),
               {QStringLiteral("-h"), m_dir.path(), QStringLiteral("-U"), kUser, name}, false);
}

QString PostgresCluster::url(const QString& database) const
{
    return QStringLiteral("postgresql://%1@localhost/%2?host=%3")
        .arg(kUser, database, m_dir.path());
}
