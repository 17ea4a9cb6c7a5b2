#pragma once

#include <QByteArrayView>
#include <QString>
#include <initializer_list>

// The file operations the program needs that must not lose or replace a user's file, in one
// place. Each platform has its own implementation file where the systems differ
// (fileoperations_posix.cpp, fileoperations_win32.cpp); reasons are the platform's own words.

/// Outcome of a file write: ok, or the reason the platform gave.
struct FileWriteResult
{
    bool ok = false;
    QString error; ///< empty when ok
    /// Not even the temporary file beside the target could be made: the target's folder is the
    /// likely cause (missing, not a folder, not writable), so a caller may name it instead.
    bool notCreated = false;

    explicit operator bool() const { return ok; }
};

/// Writes the whole content to a temporary file in the target's folder (a StagedFile, named as
/// every temporary file of the program), pushes it to the disk and renames it over the target, so
/// the target holds either its old content or the new one, never a part. An existing target keeps
/// its permissions; a link is followed, so the file it points to gets the content and the link
/// stays. A folder, or an existing file that may not be written, is refused.
[[nodiscard]] FileWriteResult writeFileAtomically(const QString& path, QByteArrayView content);

/// The same with the content in pieces, written one after another, so a large file need not be
/// put together in memory first.
[[nodiscard]] FileWriteResult writeFileAtomically(const QString& path,
                                                  std::initializer_list<QByteArrayView> chunks);

/// What a rename that never replaces a file did.
enum class RenameOutcome { Renamed, NameTaken, Failed };

struct RenameResult
{
    RenameOutcome outcome = RenameOutcome::Failed;
    /// The platform's reason when not renamed (also when the name is taken); empty otherwise.
    QString error;

    explicit operator bool() const { return outcome == RenameOutcome::Renamed; }
};

/// Gives the file `from` the name `to` unless `to` exists, in one step: a file that appears under
/// that name at the same moment is never replaced. The old name is gone once this succeeds; when
/// it fails, `from` is left as it was and nothing new stands under `to`.
[[nodiscard]] RenameResult renameWithoutReplacing(const QString& from, const QString& to);

/// Gives the file `from` the name `to` in one step, replacing a file of that name. Empty reason
/// when done.
[[nodiscard]] QString renameReplacing(const QString& from, const QString& to);

/// The path in double quotes, with the platform's separators, for messages.
[[nodiscard]] QString quotedPath(const QString& path);
