#include "libraryinstaller.h"

#include "common/eventpump.h"
#include "common/fileoperations.h"
#include "common/numbertext.h"
#include "common/userdialogs.h"
#include "link/vorlaklibrary.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <cstring>
#include <string>
#include <vector>

#ifdef Q_OS_WIN
#include <filesystem>
#include <system_error>
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

/// Tells whether a directory entry carries the library's name, letter case ignored. Most names
/// are plain ASCII, so those are compared byte by byte; others go through Unicode case folding.
class NameMatcher
{
public:
    explicit NameMatcher(const QString& fileName)
        : m_name(fileName)
        , m_bytes(QFile::encodeName(fileName).toStdString())
    {
    }

    bool operator()(const char* name, std::size_t length) const
    {
        if (length == m_bytes.size() && asciiCaseEqual(name)) {
            return true;
        }
        for (std::size_t i = 0; i < length; ++i) {
            if (static_cast<unsigned char>(name[i]) >= 0x80) {
                const QString decoded = QFile::decodeName(QByteArray(name, qsizetype(length)));
                return decoded.compare(m_name, Qt::CaseInsensitive) == 0;
            }
        }
        return false;
    }

private:
    bool asciiCaseEqual(const char* name) const
    {
        for (std::size_t i = 0; i < m_bytes.size(); ++i) {
            if (lower(name[i]) != lower(m_bytes[i])) {
                return false;
            }
        }
        return true;
    }
    static char lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

    QString m_name;
    std::string m_bytes;
};

/// Visits the folders below a root depth first, in listing order, without ever following a
/// symbolic link (or a junction on Windows), and reports the entries that match. A folder's
/// whole listing is read before its matches are reported, and its matches are reported before
/// any of its subfolders is entered, so renaming a match never disturbs a listing in progress.
/// The pending folders are kept on a stack of our own: a deep tree cannot exhaust the call
/// stack.
class CopyFinder
{
public:
    using Found = std::function<void(const QString& folder, const QString& name)>;

    CopyFinder(const QString& fileName, const QString& skipFolder, Found found)
        : m_matches(fileName)
        , m_found(std::move(found))
    {
        rememberSkippedFolder(skipFolder);
    }

    void walk(const QString& root, bool recurse)
    {
        std::vector<std::string> pending;
        std::string top = QFile::encodeName(root).toStdString();
        if (top.empty() || top.back() != '/') {
            top += '/';
        }
        pending.push_back(std::move(top));
        bool first = true;
        std::vector<std::string> subfolders;
        std::vector<std::string> matches;
        while (!pending.empty()) {
            const std::string folder = std::move(pending.back());
            pending.pop_back();
            subfolders.clear();
            matches.clear();
            // The root may itself be reached through a link (a data folder moved elsewhere);
            // below it nothing is followed.
            const bool isRoot = first;
            first = false;
            bool skipped = false;
            if (!list(folder, isRoot, subfolders, matches, skipped)) {
                continue;
            }
            if (!skipped) {
                const QString folderText = QFile::decodeName(QByteArray::fromStdString(folder));
                for (const std::string& name : matches) {
                    m_found(folderText, QFile::decodeName(QByteArray::fromStdString(name)));
                }
            }
            if (recurse) {
                for (auto it = subfolders.rbegin(); it != subfolders.rend(); ++it) {
                    pending.push_back(folder + *it + '/');
                }
            }
        }
    }

private:
#ifndef Q_OS_WIN
    void rememberSkippedFolder(const QString& folder)
    {
        struct stat info
        {
        };
        if (!folder.isEmpty() && ::stat(QFile::encodeName(folder).constData(), &info) == 0) {
            m_skipDevice = info.st_dev;
            m_skipInode = info.st_ino;
            m_hasSkip = true;
        }
    }

    /// Lists one folder; false when it cannot be listed (it then counts as empty).
    bool list(const std::string& folder, bool isRoot, std::vector<std::string>& subfolders,
              std::vector<std::string>& matches, bool& skipped) const
    {
        const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (isRoot ? 0 : O_NOFOLLOW);
        const int fd = ::open(folder.c_str(), flags);
        if (fd < 0) {
            return false;
        }
        DIR* dir = ::fdopendir(fd);
        if (dir == nullptr) {
            ::close(fd);
            return false;
        }
        while (const dirent* entry = ::readdir(dir)) {
            const char* name = entry->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) {
                continue;
            }
            unsigned char type = entry->d_type;
            if (type == DT_UNKNOWN) {
                struct stat info
                {
                };
                if (::fstatat(fd, name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
                    continue;
                }
                type = S_ISDIR(info.st_mode) ? DT_DIR : DT_REG;
            }
            if (type == DT_DIR) {
                subfolders.emplace_back(name);
            } else if (m_matches(name, std::strlen(name))) {
                // A link under the library's name is renamed itself; what it points to is
                // left alone.
                matches.emplace_back(name);
            }
        }
        if (!matches.empty() && m_hasSkip) {
            struct stat info
            {
            };
            skipped = ::fstat(fd, &info) == 0 && info.st_dev == m_skipDevice &&
                      info.st_ino == m_skipInode;
        }
        ::closedir(dir);
        return true;
    }

    dev_t m_skipDevice = 0;
    ino_t m_skipInode = 0;
    bool m_hasSkip = false;
#else
    void rememberSkippedFolder(const QString& folder)
    {
        std::error_code error;
        m_skip = std::filesystem::canonical(folder.toStdWString(), error);
    }

    bool list(const std::string& folder, bool /*isRoot*/, std::vector<std::string>& subfolders,
              std::vector<std::string>& matches, bool& skipped) const
    {
        namespace fs = std::filesystem;
        std::error_code error;
        const fs::path path = QFile::decodeName(QByteArray::fromStdString(folder)).toStdWString();
        fs::directory_iterator it(path, error);
        if (error) {
            return false;
        }
        for (; it != fs::directory_iterator(); it.increment(error)) {
            if (error) {
                break;
            }
            const fs::file_status status = it->symlink_status(error);
            const std::string name =
                QFile::encodeName(QString::fromStdWString(it->path().filename().wstring()))
                    .toStdString();
            // Links and junctions are not folders here: they are never entered.
            if (status.type() == fs::file_type::directory) {
                subfolders.push_back(name);
            } else if (m_matches(name.c_str(), name.size())) {
                matches.push_back(name);
            }
        }
        if (!matches.empty() && !m_skip.empty()) {
            skipped = fs::equivalent(path, m_skip, error) && !error;
        }
        return true;
    }

    std::filesystem::path m_skip;
#endif

    NameMatcher m_matches;
    Found m_found;
};

/// Same size and same bytes; false when either cannot be read.
bool sameContent(const QString& first, const QString& second)
{
    QFile a(first);
    QFile b(second);
    if (a.size() != b.size() || !a.open(QIODevice::ReadOnly) || !b.open(QIODevice::ReadOnly)) {
        return false;
    }
    constexpr qint64 kChunk = qint64(1) << 20;
    while (!a.atEnd()) {
        if (a.read(kChunk) != b.read(kChunk)) {
            return false;
        }
    }
    return b.atEnd();
}

} // namespace

InstallLocations InstallLocations::forThisMachine()
{
    InstallLocations places;
    places.programFolder = QCoreApplication::applicationDirPath();
    places.systemFolder = VorlakLibrary::systemFolder();
    places.libraryFileName = VorlakLibrary::libraryFileName();
#ifdef Q_OS_WIN
    places.roots = {{QStringLiteral("C:"), QStringLiteral("C:/")},
                    {QStringLiteral("D:"), QStringLiteral("D:/")}};
#else
    // There are no drives: the user's data folder, which holds the system folder, stands for
    // drive C, and there is no drive D.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    places.roots = {{QDir::toNativeSeparators(data), data}};
#endif
    return places;
}

QString backupFileName(const QString& libraryFileName, const QDateTime& when)
{
    const QFileInfo name(libraryFileName);
    const QDate date = when.date();
    const QTime time = when.time();
    QString backup = name.completeBaseName() + numberText(date.day()) + QLatin1Char('_') +
                     numberText(date.month()) + QLatin1Char('_') + numberText(date.year()) +
                     QLatin1Char('_') + numberText(time.hour()) + numberText(time.minute()) +
                     QStringLiteral("_Bak");
    if (!name.suffix().isEmpty()) {
        backup += QLatin1Char('.') + name.suffix();
    }
    return backup;
}

LibraryInstaller::LibraryInstaller(UserDialogs& dialogs, EventPump& events,
                                   InstallLocations locations, Clock clock)
    : m_dialogs(dialogs)
    , m_events(events)
    , m_locations(std::move(locations))
    , m_clock(std::move(clock))
{
}

QString LibraryInstaller::blockedTitle()
{
    return QCoreApplication::translate("LibraryInstaller", "Qel Setup");
}

QString LibraryInstaller::blockedText()
{
    return QCoreApplication::translate("LibraryInstaller",
                                       "Please stop all programs and run this program again!");
}

void LibraryInstaller::installCommLibrary()
{
    m_installBlocked = false;
    const QString freshCopy = QDir(m_locations.programFolder).filePath(m_locations.libraryFileName);
    const QString installed = QDir(m_locations.systemFolder).filePath(m_locations.libraryFileName);
    if (!QFileInfo(freshCopy).isFile()) {
        m_outcome = Outcome::NothingToDo;
        return;
    }
    // A program folder the user cannot write to keeps its copy for good; once that copy is
    // installed, searching every start again would change nothing.
    if (QFileInfo::exists(installed) && sameContent(freshCopy, installed)) {
        m_outcome = Outcome::NothingToDo;
        return;
    }

    BusyPointer busy(m_dialogs);
    const QString pattern = m_locations.libraryFileName.toLower();
    for (const SearchRoot& root : m_locations.roots) {
        if (m_progress != nullptr) {
            m_progress->setSearchText(QStringLiteral("Searching ") + root.displayName);
        }
        m_events.processEvents();
        backUpLibraryCopies(root.path, pattern);
    }
    // The system folder may lie outside the roots, or be reached only through a link the walk
    // does not follow: its copy must still not be overwritten.
    if (!m_installBlocked) {
        CopyFinder(pattern, m_locations.programFolder,
                   [this](const QString& folder, const QString& name) { backUpCopy(folder, name); })
            .walk(m_locations.systemFolder, false);
    }

    if (m_installBlocked) {
        m_outcome = Outcome::Blocked;
        return;
    }
    installFreshCopy(freshCopy);
}

void LibraryInstaller::backUpLibraryCopies(const QString& folder, const QString& fileName)
{
    CopyFinder(fileName, m_locations.programFolder,
               [this](const QString& found, const QString& name) { backUpCopy(found, name); })
        .walk(folder, true);
}

void LibraryInstaller::backUpCopy(const QString& folder, const QString& name)
{
    const QString from = folder + name;
    const QString to = folder + backupFileName(m_locations.libraryFileName, m_clock());
    if (const RenameResult renamed = renameWithoutReplacing(from, to); !renamed) {
        reportRenameFailure(from, to, renamed.error);
    }
}

void LibraryInstaller::reportRenameFailure(const QString& from, const QString& to,
                                           const QString& reason)
{
    m_installBlocked = true;
    m_dialogs.showWarning(
        QCoreApplication::translate("LibraryInstaller", "%1\n\n%2 could not be renamed to %3: %4.")
            .arg(blockedText(), quotedPath(from), quotedPath(QFileInfo(to).fileName()), reason),
        blockedTitle());
}

void LibraryInstaller::installFreshCopy(const QString& freshCopy)
{
    const QString installed = QDir(m_locations.systemFolder).filePath(m_locations.libraryFileName);
    const auto fail = [&](const QString& reason) {
        m_outcome = Outcome::Failed;
        m_dialogs.showError(
            QCoreApplication::translate(
                "LibraryInstaller",
                "The new communication library %1 could not be installed as %2: %3.\n\n"
                "The program goes on with the library it finds; the installation is "
                "tried again at the next start.")
                .arg(quotedPath(freshCopy), quotedPath(installed), reason));
    };

    if (!QDir().mkpath(m_locations.systemFolder)) {
        fail(QCoreApplication::translate("LibraryInstaller", "the folder %1 could not be created")
                 .arg(quotedPath(m_locations.systemFolder)));
        return;
    }
    QFile source(freshCopy);
    if (!source.open(QIODevice::ReadOnly)) {
        fail(source.errorString());
        return;
    }
    const QByteArray content = source.readAll();
    if (source.error() != QFileDevice::NoError) {
        fail(source.errorString());
        return;
    }
    source.close();
    // Written beside the target and renamed over it: a full disk never leaves a truncated
    // library where the loader would find it.
    if (const FileWriteResult written = writeFileAtomically(installed, content); !written) {
        fail(written.error);
        return;
    }
    QFile::setPermissions(installed, QFile::permissions(freshCopy));

    m_outcome = Outcome::Installed;
    if (!source.remove()) {
        m_dialogs.showWarning(
            QCoreApplication::translate(
                "LibraryInstaller",
                "The new communication library is installed as %1, but %2 could not "
                "be removed: %3.")
                .arg(quotedPath(installed), quotedPath(freshCopy), source.errorString()));
    }
}
