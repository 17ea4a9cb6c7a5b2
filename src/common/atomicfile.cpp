#include "atomicfile.h"

#include <QSaveFile>

FileWriteResult writeFileAtomically(const QString& path, const QByteArray& content)
{
    QSaveFile file(path);
    // Never fall back to writing the target in place: that is what leaves half-written files.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        return {false, file.errorString()};
    }
    // The last part of the data may still be buffered: a disk that fills up then fails only at
    // the flush, and a commit without it could rename a truncated file over the old one.
    if (file.write(content) != content.size() || !file.flush()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return {false, reason};
    }
    if (!file.commit()) {
        return {false, file.errorString()};
    }
    return {true, {}};
}
