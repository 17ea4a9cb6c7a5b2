#include "singleinstance.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <algorithm>

SingleInstance::SingleInstance(const QString& folder, const QString& key)
    : m_lock(folder + QLatin1Char('/') + key + QStringLiteral(".lock"))
    , m_socketPath(folder + QLatin1Char('/') + key + QStringLiteral(".socket"))
{
    // Only a dead holder makes the lock stale: a running Kolbrin keeps it however long it runs.
    m_lock.setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

SingleInstance::Start SingleInstance::claim(std::chrono::milliseconds patience)
{
    const QDeadlineTimer deadline(patience);
    for (;;) {
        if (m_lock.tryLock(0)) {
            return Start::First;
        }
        if (m_lock.error() != QLockFile::LockFailedError) {
            // The runtime folder takes no lock file: better two windows than none.
            return Start::First;
        }
        if (askToActivate(deadline)) {
            return Start::Activated;
        }
        if (deadline.hasExpired()) {
            return Start::NoAnswer;
        }
        QThread::msleep(100);
    }
}

bool SingleInstance::askToActivate(const QDeadlineTimer& deadline) const
{
    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    // Nothing listens yet (or any more): the caller tries the lock and the socket again.
    if (!socket.waitForConnected(500)) {
        return false;
    }
    socket.write(kActivate);
    if (!socket.waitForBytesWritten(500)) {
        return false;
    }
    // The answer comes once the window was brought to the front: a Kolbrin still starting, on
    // a busy PC, may take seconds to get to it.
    QByteArray answer;
    while (
        !answer.contains('\n') && !deadline.hasExpired() &&
        socket.waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())))) {
        answer += socket.readAll();
    }
    return answer == kActivated;
}

bool SingleInstance::listen(std::function<void()> activate, QString* error)
{
    if (!m_lock.isLocked()) {
        // Without the lock the socket may be another Kolbrin's: it is left alone.
        if (error != nullptr) {
            *error =
                QCoreApplication::translate("SingleInstance", "the lock file %1 could not be made")
                    .arg(m_lock.fileName());
        }
        return false;
    }
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // A socket file left by a crashed Kolbrin: ours now, since we hold the lock.
    QLocalServer::removeServer(m_socketPath);
    if (!m_server->listen(m_socketPath)) {
        if (error != nullptr) {
            *error = m_server->errorString();
        }
        m_server.reset();
        return false;
    }
    QLocalServer* server = m_server.get();
    QObject::connect(server, &QLocalServer::newConnection, server, [server, activate] {
        while (QLocalSocket* socket = server->nextPendingConnection()) {
            QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QLocalSocket::readyRead, socket, [socket, activate] {
                if (!socket->canReadLine()) {
                    return;
                }
                if (socket->readLine() == kActivate) {
                    activate();
                    socket->write(kActivated);
                }
                socket->disconnectFromServer();
            });
        }
    });
    return true;
}

QString SingleInstance::instanceKey(const QString& user, const QString& settingsFile)
{
    QString name;
    for (const QChar c : user) {
        name += c.isLetterOrNumber() || c == u'_' || c == u'.' || c == u'-' ? c : QChar(u'_');
    }
    const QByteArray hash = QCryptographicHash::hash(
        QFileInfo(settingsFile).absoluteFilePath().toUtf8(), QCryptographicHash::Sha256);
    return QStringLiteral("kolbrin-%1-%2").arg(name, QString::fromLatin1(hash.toHex().left(8)));
}

QString SingleInstance::defaultFolder()
{
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? QDir::tempPath() : runtime;
}
