#pragma once

#include <QByteArray>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

/// The folder a program is installed in for the terminals to fetch: qel/bin_offline in the
/// user's data folder.
[[nodiscard]] QString offlineProgramFolder();

/// Where the upload dialog looks for terminal programs, and how much it tells about it.
struct ProgramSources
{
    /// Searched in order, each with everything below it; a missing one adds nothing.
    QStringList folders;
    /// The dialog says where it looked (and where to put programs when it found none) and offers
    /// Browse... to add a program from anywhere.
    bool explained = false;

    /// kolbrin/programs in each of `dataFolders` (the user's first, then the system's), in
    /// that order and without repeats; explained.
    [[nodiscard]] static ProgramSources catalogueIn(const QStringList& dataFolders);
    /// The running program's folder with everything below it, unexplained.
    [[nodiscard]] static ProgramSources programFolder(const QString& folder);
    /// The machine's own. On Linux, the catalogue in the data folders (~/.local/share, then
    /// /usr/local/share and /usr/share, as XDG_DATA_HOME and XDG_DATA_DIRS say): never the
    /// executable's folder, which in /usr/bin holds every other program's files as well. On
    /// Windows, the folder of the running program, where its installer puts the programs.
    [[nodiscard]] static ProgramSources forThisMachine();
};

/// The program images (".bin" files) below a folder, for the upload dialog's list.
class ProgramCatalogue
{
public:
    /// Bounds that keep a walk of an unexpectedly large tree from freezing the dialog.
    struct Limits
    {
        int maxDepth = 32;
        int maxEntries = 200000; ///< folder entries looked at, in all folders together
    };

    explicit ProgramCatalogue(Limits limits);
    ProgramCatalogue();

    /// Adds every file matching SearchStr (a wildcard pattern, any letter case) below path, depth
    /// first: the files of a folder, in the order the folder gives them, before those of its
    /// subfolders, each subfolder finished before the next. Symbolic links to folders are not
    /// followed; a folder that cannot be read adds nothing.
    void findFiles(QString path, const QString& SearchStr);

    /// Full paths found so far, in the order found.
    [[nodiscard]] const QStringList& files() const { return m_files; }
    /// False when a limit stopped the walk before it was finished.
    [[nodiscard]] bool complete() const { return m_complete; }

    /// The text before the first zero character; the whole text when it has none.
    [[nodiscard]] static QString stripNulls(const QString& OriginalStr);

private:
    void walk(const QString& folder, int depth);

    Limits m_limits;
    QRegularExpression m_pattern;
    QStringList m_files;
    int m_entriesSeen = 0;
    bool m_complete = true;
};

/// The two files of a program found by its path without extension.
namespace ProgramFiles {

/// base + "." + extension; when no such file exists but one whose extension differs only in
/// letter case does (PROG.BIN, PROG.HEA), that one.
[[nodiscard]] QString withExtension(const QString& base, const QString& extension);

/// The entry without its last 4 characters (the ".bin").
[[nodiscard]] QString baseOf(const QString& imagePath);

struct ReadResult
{
    QByteArray bytes;
    QString error; ///< why the file could not be used; empty when it could
    [[nodiscard]] bool ok() const { return error.isEmpty(); }
};

/// The whole file, refused when it is not a readable regular file, larger than maxBytes, or
/// empty while allowEmpty is false.
[[nodiscard]] ReadResult read(const QString& path, qint64 maxBytes, bool allowEmpty);

} // namespace ProgramFiles
