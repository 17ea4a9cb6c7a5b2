#pragma once

#include <QString>
#include <QTemporaryDir>

/// A PostgreSQL server of its own for tests: a cluster made with initdb in a temporary folder,
/// listening only on a Unix socket there, owned by an ordinary user (postgres refuses root;
/// as root, the server runs as "nobody"). Stopped and removed with the object.
class PostgresCluster
{
public:
    PostgresCluster() = default;
    ~PostgresCluster();
    PostgresCluster(const PostgresCluster&) = delete;
    PostgresCluster& operator=(const PostgresCluster&) = delete;

    /// Makes the cluster and starts it; false with the reason in problem().
    [[nodiscard]] bool create();
    [[nodiscard]] bool start();
    [[nodiscard]] bool stop();
    /// Makes an empty database on the running server.
    [[nodiscard]] bool createDatabase(const QString& name);

    /// The address of a database for the setting JournalDatabase.
    [[nodiscard]] QString url(const QString& database) const;
    [[nodiscard]] QString socketFolder() const { return m_dir.path(); }
    [[nodiscard]] QString problem() const { return m_problem; }

private:
    /// Runs a PostgreSQL program, as the cluster's owner when this process is root.
    bool run(const QString& program, const QStringList& arguments, bool asOwner);

    QTemporaryDir m_dir;
    bool m_running = false;
    QString m_problem;
};
