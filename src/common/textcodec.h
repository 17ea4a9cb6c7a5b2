#pragma once

#include <QByteArray>
#include <QString>

/// Text encodings at the program's edges: Windows-1252 towards the terminal library, UTF-8 for
/// files, with Windows-1252 as the reading of files that are not valid UTF-8.
namespace TextCodec {

[[nodiscard]] QString fromWindows1252(const QByteArray& bytes);

/// Characters Windows-1252 cannot hold become '?'; *lossy (if given) tells whether any did.
[[nodiscard]] QByteArray toWindows1252(const QString& text, bool* lossy = nullptr);

/// A file's bytes as text: UTF-8 (a leading byte-order mark is dropped) when the bytes are valid
/// UTF-8, otherwise Windows-1252.
[[nodiscard]] QString decodeFileText(const QByteArray& bytes);

} // namespace TextCodec
