// The file operations that work alike on every platform; the renames are in
// fileoperations_posix.cpp and fileoperations_win32.cpp.
#include "fileoperations.h"

#include "stagedfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

FileWriteResult writeFileAtomically(const QString& path, QByteArrayView content)
{
    return writeFileAtomically(path, {content});
}

FileWriteResult writeFileAtomically(const QString& path,
                                    std::initializer_list<QByteArrayView> chunks)
{
    // A link is followed to the file it names (a loop of links is written as the name given).
    QFileInfo existing(path);
    QString target = path;
    for (int depth = 0; depth < 128 && existing.isSymLink(); ++depth) {
        existing.setFile(existing.symLinkTarget());
        if (!existing.isSymLink()) {
            target = existing.filePath();
        }
    }
    if (existing.isDir()) {
        return {false, QCoreApplication::translate("FileOperations", "it is a folder"), true};
    }
    if (existing.exists() && !existing.isWritable()) {
        return {
            false,
            QCoreApplication::translate("FileOperations", "the existing file may not be written"),
            true};
    }
    StagedFile staged;
    const QString created = staged.create(
        target, existing.exists() ? std::optional(existing.permissions()) : std::nullopt);
    if (!created.isEmpty()) {
        return {false, created, true};
    }
    for (const QByteArrayView chunk : chunks) {
        if (QString reason = staged.write(chunk); !reason.isEmpty()) {
            return {false, reason};
        }
    }
    if (QString reason = staged.finish(); !reason.isEmpty()) {
        return {false, reason};
    }
    if (QString reason = staged.replace(target); !reason.isEmpty()) {
        return {false, reason};
    }
    return {true, {}};
}

QString quotedPath(const QString& path)
{
    return QLatin1Char('"') + QDir::toNativeSeparators(path) + QLatin1Char('"');
}
