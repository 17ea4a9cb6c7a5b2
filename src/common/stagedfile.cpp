#include "stagedfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstring>

#ifdef Q_OS_WIN
#include <io.h>
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

constexpr int kHexDigits = 8;

#ifndef Q_OS_WIN
/// Takes an exclusive flock on the open file, waiting while a start-up that checks it holds it.
bool lockExclusively(int fd, int flags)
{
    int result = 0;
    do {
        result = ::flock(fd, LOCK_EX | flags);
    } while (result != 0 && errno == EINTR);
    return result == 0;
}
#endif

} // namespace

StagedFile::~StagedFile()
{
    if (m_path.isEmpty()) {
        return;
    }
    // Removed while still held (where an open file can be removed), so that no start-up takes it
    // for a leftover in between.
#ifdef Q_OS_WIN
    m_file.close();
#endif
    QFile::remove(m_path);
    m_file.close();
}

QString StagedFile::create(const QString& target,
                           std::optional<QFileDevice::Permissions> permissions)
{
    QString reason;
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QString candidate =
            QStringLiteral("%1.%2").arg(target).arg(QRandomGenerator::global()->generate(),
                                                    kHexDigits, 16, QLatin1Char('0')) +
            kSuffix;
        bool taken = false;
        reason = openExclusive(candidate, permissions.has_value(), taken);
        if (reason.isEmpty()) {
            m_path = candidate;
            // As a replaced file had them; a file system without permissions keeps its own.
            if (permissions) {
                static_cast<void>(QFile::setPermissions(candidate, *permissions));
            }
            return {};
        }
        if (!taken) {
            return reason;
        }
    }
    return reason;
}

#ifdef Q_OS_WIN

QString StagedFile::openExclusive(const QString& candidate, bool /*privateFirst*/, bool& taken)
{
    // Open, the file cannot be deleted by anyone else: that is what holds it.
    m_file.setFileName(candidate);
    if (m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        return {};
    }
    taken = QFileInfo::exists(candidate);
    return m_file.errorString();
}

void StagedFile::prepareRename()
{
    m_file.close();
}

#else

QString StagedFile::openExclusive(const QString& candidate, bool privateFirst, bool& taken)
{
    const QByteArray name = QFile::encodeName(candidate);
    // Private at first when it takes the permissions of a file it replaces, so that nobody opens
    // it in between who could not read that file.
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                          privateFirst ? 0600 : 0666);
    if (fd < 0) {
        const int error = errno;
        taken = error == EEXIST;
        return systemError(error);
    }
    // A file system without locks leaves it unlocked; a start-up cannot lock it there either and
    // so leaves it alone. A start-up that locked it in the moment between its creation and this
    // lock may have removed it as a leftover: then it has no name any more, and another is made.
    struct stat status = {};
    if (lockExclusively(fd, 0) && ::fstat(fd, &status) == 0 && status.st_nlink == 0) {
        ::close(fd);
        taken = true;
        return QCoreApplication::translate("StagedFile",
                                           "the temporary file was removed while it was made");
    }
    if (!m_file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        const QString reason = m_file.errorString();
        ::close(fd);
        ::unlink(name.constData());
        return reason;
    }
    return {};
}

void StagedFile::prepareRename()
{
    // Renamed while held: the lock goes with the file to its final name.
}

#endif

QString StagedFile::write(QByteArrayView bytes)
{
    if (m_file.write(bytes.data(), bytes.size()) != bytes.size()) {
        return m_file.errorString();
    }
    return {};
}

QString StagedFile::finish()
{
    // The last part may still be buffered: a full disk fails only at the flush, and a rename
    // without it could put a truncated file in place of the old one.
    if (!m_file.flush()) {
        return m_file.errorString();
    }
#ifdef Q_OS_WIN
    if (::_commit(m_file.handle()) != 0) {
        return systemError(errno);
    }
#else
    if (::fsync(m_file.handle()) != 0) {
        return systemError(errno);
    }
#endif
    return {};
}

QString StagedFile::replace(const QString& target)
{
    prepareRename();
    if (QString reason = renameReplacing(m_path, target); !reason.isEmpty()) {
        return reason;
    }
    released();
    return {};
}

RenameResult StagedFile::placeWithoutReplacing(const QString& target)
{
    prepareRename();
    RenameResult placed = renameWithoutReplacing(m_path, target);
    if (placed) {
        released();
    }
    return placed;
}

void StagedFile::released()
{
    m_path.clear();
    m_file.close();
}

bool isStagedFileName(const QString& fileName)
{
    const QLatin1StringView suffix = StagedFile::kSuffix;
    // At least one character of the target's name, a dot, the digits, the suffix.
    const qsizetype digits = fileName.size() - suffix.size() - kHexDigits;
    if (digits < 2 || !fileName.endsWith(suffix) || fileName[digits - 1] != QLatin1Char('.')) {
        return false;
    }
    for (qsizetype i = digits; i < digits + kHexDigits; ++i) {
        const char16_t ch = fileName[i].unicode();
        if (!((ch >= u'0' && ch <= u'9') || (ch >= u'a' && ch <= u'f'))) {
            return false;
        }
    }
    return true;
}

QStringList removeStaleStagedFiles(const QString& folder)
{
    QStringList problems;
    const QDir dir(folder);
    if (folder.isEmpty() || !dir.exists()) {
        return problems;
    }
    const QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::NoSymLinks);
    for (const QString& name : names) {
        if (!isStagedFileName(name)) {
            continue;
        }
        const QString path = dir.filePath(name);
        QString reason;
#ifdef Q_OS_WIN
        // A file another instance has open cannot be deleted: it is in use, not left over.
        const QString native = QDir::toNativeSeparators(path);
        if (!DeleteFileW(reinterpret_cast<LPCWSTR>(native.utf16()))) {
            const DWORD error = GetLastError();
            if (error != ERROR_SHARING_VIOLATION && error != ERROR_FILE_NOT_FOUND) {
                reason = QCoreApplication::translate("StagedFile", "system error %1").arg(error);
            }
        }
#else
        const QByteArray encoded = QFile::encodeName(path);
        const int fd = ::open(encoded.constData(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        // One that cannot be opened (another user's) or locked (held by a running instance, or a
        // file system without locks, where nothing tells) is not known to be left over: it stays.
        if (fd < 0) {
            continue;
        }
        struct stat opened = {};
        struct stat named = {};
        if (lockExclusively(fd, LOCK_NB) && ::fstat(fd, &opened) == 0 &&
            ::lstat(encoded.constData(), &named) == 0 && S_ISREG(opened.st_mode) &&
            opened.st_dev == named.st_dev && opened.st_ino == named.st_ino &&
            ::unlink(encoded.constData()) != 0 && errno != ENOENT) {
            reason = systemError(errno);
        }
        ::close(fd);
#endif
        if (!reason.isEmpty()) {
            problems.append(
                QCoreApplication::translate(
                    "StagedFile", "the leftover temporary file %1 could not be removed: %2")
                    .arg(quotedPath(path), reason));
        }
    }
    return problems;
}
