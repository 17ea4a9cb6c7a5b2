// The file operations that work alike on every platform; the rename that never replaces a file
// is in fileoperations_posix.cpp and fileoperations_win32.cpp.
#include "fileoperations.h"

#include <QDir>
#include <QSaveFile>

FileWriteResult writeFileAtomically(const QString& path, QByteArrayView content)
{
    return writeFileAtomically(path, {content});
}

FileWriteResult writeFileAtomically(const QString& path,
                                    std::initializer_list<QByteArrayView> chunks)
{
    // QSaveFile writes a temporary file beside the target, gives it the permissions of an
    // existing target, and renames it over the target on commit.
    QSaveFile file(path);
    // Never fall back to writing the target in place: that is what leaves half-written files.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        return {false, file.errorString(), true};
    }
    for (const QByteArrayView chunk : chunks) {
        if (file.write(chunk.data(), chunk.size()) != chunk.size()) {
            const QString reason = file.errorString();
            file.cancelWriting();
            return {false, reason};
        }
    }
    // The last part of the data may still be buffered: a disk that fills up then fails only at
    // the flush, which commit() does not report, and a commit without it could rename a
    // truncated file over the old one.
    if (!file.flush()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return {false, reason};
    }
    if (!file.commit()) {
        return {false, file.errorString()};
    }
    return {true, {}};
}

QString quotedPath(const QString& path)
{
    return QLatin1Char('"') + QDir::toNativeSeparators(path) + QLatin1Char('"');
}
