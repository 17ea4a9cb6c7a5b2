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
    if (file.write(content) != content.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return {false, reason};
    }
    if (!file.commit()) {
        return {false, file.errorString()};
    }
    return {true, {}};
}
