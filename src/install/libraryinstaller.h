#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>

class EventPump;
class UserDialogs;

/// Where the wait window shows which root is being searched. Implemented by Form5.
class InstallProgress
{
public:
    virtual ~InstallProgress() = default;
    /// The status line under "Please wait...", e.g. "Searching C:".
    virtual void setSearchText(const QString& text) = 0;
};

/// One place searched for old copies of the library, standing for a drive.
struct SearchRoot
{
    QString displayName; ///< what the wait window shows ("C:", or the folder itself)
    QString path;
};

/// The folders the installation works on. Tests hand in temporary trees.
struct InstallLocations
{
    QString programFolder;   ///< holds the fresh copy delivered with the program
    QString systemFolder;    ///< where the library is installed
    QList<SearchRoot> roots; ///< searched in this order for old copies
    QString libraryFileName; ///< libvorlak.so, or Vorlak.dll on Windows

    /// The program's own folder, the library's system folder, and as "drive C" the user's data
    /// folder (drives C and D on Windows).
    [[nodiscard]] static InstallLocations forThisMachine();
};

/// The name an old copy of the library is given: the library's name, the date and time as day,
/// month, four-digit year, then hour and minute, each number with one leading space, and "_Bak"
/// before the extension. "Vorlak.dll" on 6 December 2026 at 14:05 gives
/// "Vorlak 6_ 12_ 2026_ 14 5_Bak.dll".
[[nodiscard]] QString backupFileName(const QString& libraryFileName, const QDateTime& when);

/// Installs a fresh copy of the communication library found beside the program: every older copy
/// below the search roots gets a dated backup name in its own folder, then the fresh copy moves
/// into the system folder. When any copy cannot be renamed the installation is blocked for this
/// start and the fresh copy stays where it is, so the next start tries again.
class LibraryInstaller
{
public:
    enum class Outcome {
        NotRun,      ///< installCommLibrary has not been called
        NothingToDo, ///< no fresh copy beside the program
        Installed,   ///< fresh copy now in the system folder
        Blocked,     ///< a copy kept its name: nothing installed
        Failed,      ///< copying into the system folder or removing the fresh copy failed
    };

    using Clock = std::function<QDateTime()>;

    LibraryInstaller(UserDialogs& dialogs, EventPump& events, InstallLocations locations,
                     Clock clock = &QDateTime::currentDateTime);

    /// The wait window's status line; may be null (no window).
    void setProgress(InstallProgress* progress) { m_progress = progress; }

    /// The start-up step: does nothing unless a fresh copy lies in the program folder.
    void installCommLibrary();

    /// Gives every file named `fileName` (letter case ignored) below `folder` its backup name,
    /// except the fresh copy in the program folder. Symbolic links are never followed; a folder
    /// that cannot be listed counts as empty. A failed rename shows a message, sets the blocked
    /// flag, and the search goes on.
    void backUpLibraryCopies(const QString& folder, const QString& fileName);

    [[nodiscard]] bool installBlocked() const { return m_installBlocked; }
    [[nodiscard]] Outcome outcome() const { return m_outcome; }
    [[nodiscard]] const InstallLocations& locations() const { return m_locations; }

    /// Title and first line of the message about a copy that could not be renamed.
    static QString blockedTitle();
    static QString blockedText();

private:
    void backUpCopy(const QString& folder, const QString& name);
    void reportRenameFailure(const QString& from, const QString& to, const QString& reason);
    void installFreshCopy(const QString& freshCopy);

    UserDialogs& m_dialogs;
    EventPump& m_events;
    InstallLocations m_locations;
    Clock m_clock;
    InstallProgress* m_progress = nullptr;
    bool m_installBlocked = false;
    Outcome m_outcome = Outcome::NotRun;
};
