#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

class RichDocumentView;

/// Reading a file into the main window's text view, shared by Load and the list sending.
namespace ViewFile {

/// The largest file the view takes; a bigger one would leave the window frozen.
inline constexpr qint64 kMaxBytes = qint64(64) << 20;

/// The file's bytes, or nullopt with the reason in *reason: folders, pipes and devices (which
/// could keep the window waiting for data that never comes) and files over kMaxBytes are refused.
[[nodiscard]] std::optional<QByteArray> read(const QString& path, QString* reason);

/// Shows the bytes: a rich-text file with its formatting, any other file as plain text (UTF-8,
/// or Windows-1252 when it is not valid UTF-8). False, with the reason in *reason and the view
/// left as it was, for a rich-text file beyond what the view can take (RtfReader::Limits).
[[nodiscard]] bool show(RichDocumentView& view, const QByteArray& bytes, QString* reason);

/// Whole megabytes, rounded up, for messages about sizes.
[[nodiscard]] QString megabytes(qint64 bytes);

} // namespace ViewFile
