// The renames, on Linux and other POSIX systems.
#ifndef _WIN32

#include "fileoperations.h"

#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

RenameResult notRenamed(RenameOutcome outcome, int error)
{
    return {outcome, QString::fromLocal8Bit(std::strerror(error))};
}

} // namespace

RenameResult renameWithoutReplacing(const QString& from, const QString& to)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
#ifdef Q_OS_LINUX
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) ==
        0) {
        return {RenameOutcome::Renamed, {}};
    }
    if (errno == EEXIST) {
        return notRenamed(RenameOutcome::NameTaken, EEXIST);
    }
    // A file system without the no-replace flag answers EINVAL (a kernel without the call,
    // ENOSYS; a few file systems, EOPNOTSUPP): the hard link below is just as exclusive.
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
        return notRenamed(RenameOutcome::Failed, errno);
    }
#endif
    // A hard link also refuses a name that is taken, and the old name goes only once the new
    // one exists.
    if (::link(source.constData(), target.constData()) != 0) {
        const int error = errno;
        return notRenamed(error == EEXIST ? RenameOutcome::NameTaken : RenameOutcome::Failed,
                          error);
    }
    // A file left under both names would still be found under the old one: undo the link.
    if (::unlink(source.constData()) != 0) {
        const int error = errno;
        ::unlink(target.constData());
        return notRenamed(RenameOutcome::Failed, error);
    }
    return {RenameOutcome::Renamed, {}};
}

QString renameReplacing(const QString& from, const QString& to)
{
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0) {
        return QString::fromLocal8Bit(std::strerror(errno));
    }
    return {};
}

#endif
