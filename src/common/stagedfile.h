#pragma once

#include "fileoperations.h"

#include <QByteArrayView>
#include <QFile>
#include <QString>
#include <QStringList>
#include <optional>

/// A file written under a temporary name beside its target and then given the target's name, so
/// that nobody ever finds the target half written. It is removed again unless it got its name.
///
/// Every temporary file the program makes beside a user's file is named
/// `<target>.<8 hex digits>.kolbrin-tmp`, and is held from its creation until it has its final
/// name: on POSIX systems by an exclusive flock, on Windows by being open (an open file cannot be
/// deleted there). A file of that name that nobody holds is what a killed run left behind, and
/// removeStaleStagedFiles() removes it; one that is held belongs to a running instance.
class StagedFile
{
public:
    StagedFile() = default;
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;
    ~StagedFile();

    /// Makes a new, empty file under a fresh temporary name beside `target`. With `permissions`
    /// it has those (it is private to its owner until then), otherwise those of any new file.
    /// Empty reason when made.
    [[nodiscard]] QString create(const QString& target,
                                 std::optional<QFileDevice::Permissions> permissions = {});
    /// Writes the bytes at the end. Empty reason when all were written.
    [[nodiscard]] QString write(QByteArrayView bytes);
    /// Pushes everything written down to the disk. Empty reason when done.
    [[nodiscard]] QString finish();

    /// Gives the file the name `target`, in one step, replacing a file of that name.
    /// Empty reason when done.
    [[nodiscard]] QString replace(const QString& target);
    /// Gives the file the name `target` unless that name is taken (renameWithoutReplacing).
    [[nodiscard]] RenameResult placeWithoutReplacing(const QString& target);

    /// The temporary name; empty before create() and after the file got its final name.
    [[nodiscard]] const QString& path() const { return m_path; }

    /// The end of the name of every temporary file of the program.
    static constexpr QLatin1StringView kSuffix{".kolbrin-tmp"};

private:
    /// Creates `candidate` exclusively and takes hold of it. Empty reason when made; sets
    /// `taken` when the name exists already.
    QString openExclusive(const QString& candidate, bool privateFirst, bool& taken);
    /// Ready for a rename (on Windows an open file cannot be renamed: it is closed).
    void prepareRename();
    /// After the rename: lets go of the file under its final name.
    void released();

    QFile m_file;
    QString m_path;
};

/// Whether the file name (without folder) has the form of a temporary file of the program:
/// `<name>.<8 hex digits>.kolbrin-tmp`.
[[nodiscard]] bool isStagedFileName(const QString& fileName);

/// Removes the program's temporary files in `folder` that no running instance holds: what a
/// killed or crashed run left behind. Files held by another instance, files of any other name
/// and anything that is not a plain file stay. Returns a problem for each leftover that could
/// not be removed, in words for the user; empty when there was none.
[[nodiscard]] QStringList removeStaleStagedFiles(const QString& folder);
