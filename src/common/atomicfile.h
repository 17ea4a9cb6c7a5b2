#pragma once

#include <QByteArray>
#include <QString>

/// Outcome of a file write: ok, or the reason the platform gave.
struct FileWriteResult
{
    bool ok = false;
    QString error; ///< empty when ok

    explicit operator bool() const { return ok; }
};

/// Writes the whole content to a temporary file in the target's folder and renames it over the
/// target, so the target holds either its old content or the new one, never a part.
[[nodiscard]] FileWriteResult writeFileAtomically(const QString& path, const QByteArray& content);
