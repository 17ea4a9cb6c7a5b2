#pragma once

#include <QDeadlineTimer>
#include <QLockFile>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>

class QLocalServer;

/// One Kolbrin per user and settings file. The first start holds a lock file and listens on a
/// local socket beside it, in the user's runtime folder; a later start finds the lock held,
/// asks the running one over the socket to bring its window to the front, and ends.
///
/// The key names the user and the settings file in use (a short hash of its path), not just
/// the user: tests and the demo run several Kolbrins side by side, each with a profile of its
/// own (XDG_CONFIG_HOME), and such separate profiles must never block each other. Two windows
/// on one settings file would fight over its port, which is what this prevents.
///
/// A lock left by a crashed Kolbrin does not block a start: QLockFile finds that its process is
/// gone and takes the lock over. The lock never goes stale by age, since a Kolbrin runs for days.
class SingleInstance
{
public:
    /// `folder`: where the lock and the socket live; `key`: instanceKey().
    SingleInstance(const QString& folder, const QString& key);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    enum class Start {
        First,     ///< this is the only one: it holds the lock
        Activated, ///< another one runs and was asked to come to the front
        NoAnswer,  ///< another one holds the lock but did not answer within the patience
    };

    /// Takes the lock, or asks the holder to come to the front; tries both again until
    /// `patience` has passed (the holder may still be starting, or be a crashed one whose
    /// process is not yet reaped).
    /// The default is long enough for a Kolbrin starting on a busy PC.
    [[nodiscard]] Start claim(std::chrono::milliseconds patience = std::chrono::seconds(20));

    /// After Start::First: listens for later starts and calls `activate` for each. False, with
    /// the reason, when the socket cannot be made (the program then runs without it).
    bool listen(std::function<void()> activate, QString* error);

    /// "kolbrin-<user>-<8 hex digits of a hash of the settings file's absolute path>".
    [[nodiscard]] static QString instanceKey(const QString& user, const QString& settingsFile);
    /// The user's runtime folder (XDG_RUNTIME_DIR), or the temporary folder without one.
    [[nodiscard]] static QString defaultFolder();

    /// What a later start sends, and the running one answers.
    static constexpr char kActivate[] = "activate\n";
    static constexpr char kActivated[] = "activated\n";

private:
    [[nodiscard]] bool askToActivate(const QDeadlineTimer& deadline) const;

    QLockFile m_lock;
    QString m_socketPath;
    std::unique_ptr<QLocalServer> m_server;
};
