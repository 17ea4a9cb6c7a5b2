#include "fakewindow.h"
#include "install/libraryinstaller.h"
#include "recordingdialogs.h"
#include "tempdir.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <gtest/gtest.h>

namespace {

const QString kLibrary = QStringLiteral("libvorlak.so");
const QDateTime kStart(QDate(2026, 12, 6), QTime(14, 5));
const QString kBackup = QStringLiteral("libvorlak 6_ 12_ 2026_ 14 5_Bak.so");

class RecordingProgress : public InstallProgress
{
public:
    void setSearchText(const QString& text) override { texts.append(text); }
    QStringList texts;
};

class LibraryInstallerTest : public TempDirTest
{
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("data"))));
        ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("prog"))));
        locations = {path(QStringLiteral("prog")),
                     path(QStringLiteral("data/kolbrin/lib")),
                     {{QStringLiteral("C:"), path(QStringLiteral("data"))}},
                     kLibrary};
    }

    void write(const QString& relative, const QByteArray& content)
    {
        const QString file = path(relative);
        ASSERT_TRUE(QDir().mkpath(QFileInfo(file).absolutePath()));
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        ASSERT_EQ(out.write(content), content.size());
    }

    QByteArray read(const QString& relative) const
    {
        QFile in(path(relative));
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("<missing>");
    }

    /// Every file and link below a folder, relative to the temporary folder, sorted.
    QStringList filesBelow(const QString& relative) const
    {
        QStringList files;
        QDirIterator it(path(relative), QDir::Files | QDir::System | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            files.append(QDir(path()).relativeFilePath(it.next()));
        }
        files.sort();
        return files;
    }

    LibraryInstaller::Outcome install()
    {
        LibraryInstaller installer(dialogs, pump, locations, [this] { return now; });
        installer.setProgress(&progress);
        installer.InstallCommLibrary();
        return installer.outcome();
    }

    InstallLocations locations;
    RecordingDialogs dialogs;
    CountingEventPump pump;
    RecordingProgress progress;
    QDateTime now = kStart;
};

using Outcome = LibraryInstaller::Outcome;

} // namespace

TEST(BackupFileName, KeepsTheDatedFormWithThePlatformsName)
{
    struct Case
    {
        const char* library;
        QDateTime when;
        const char* expected;
    };
    const Case cases[] = {
        {"Vorlak.dll", kStart, "Vorlak 6_ 12_ 2026_ 14 5_Bak.dll"},
        {"libvorlak.so", QDateTime(QDate(2027, 1, 1), QTime(0, 0)),
         "libvorlak 1_ 1_ 2027_ 0 0_Bak.so"},
        {"libvorlak.so", QDateTime(QDate(2026, 10, 31), QTime(23, 59)),
         "libvorlak 31_ 10_ 2026_ 23 59_Bak.so"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(backupFileName(QString::fromLatin1(c.library), c.when),
                  QString::fromLatin1(c.expected))
            << c.library << ' ' << c.when.toString(Qt::ISODate).toStdString();
    }
}

TEST_F(LibraryInstallerTest, WithoutAFreshCopyNothingIsSearchedOrTouched)
{
    write(QStringLiteral("data/kolbrin/lib/libvorlak.so"), "installed");
    write(QStringLiteral("data/other/libvorlak.so"), "other");
    const QStringList before = filesBelow(QStringLiteral("data"));

    EXPECT_EQ(install(), Outcome::NothingToDo);

    EXPECT_EQ(filesBelow(QStringLiteral("data")), before);
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_TRUE(progress.texts.isEmpty());
    EXPECT_EQ(pump.processCalls, 0);
}

TEST_F(LibraryInstallerTest, AFreshCopyAloneMovesIntoTheSystemFolder)
{
    write(QStringLiteral("prog/libvorlak.so"), "fresh");
    write(QStringLiteral("data/notes/readme.txt"), "text");

    EXPECT_EQ(install(), Outcome::Installed);

    EXPECT_EQ(read(QStringLiteral("data/kolbrin/lib/libvorlak.so")), "fresh");
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("prog/libvorlak.so"))));
    EXPECT_EQ(filesBelow(QStringLiteral("data")),
              QStringList({QStringLiteral("data/kolbrin/lib/libvorlak.so"),
                           QStringLiteral("data/notes/readme.txt")}));
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_EQ(progress.texts, QStringList{QStringLiteral("Searching C:")});
    EXPECT_EQ(pump.processCalls, 1);
    EXPECT_EQ(dialogs.busyDepth, 0);
}

TEST_F(LibraryInstallerTest, EveryOldCopyGetsItsBackupNameInItsOwnFolder)
{
    write(QStringLiteral("prog/libvorlak.so"), "fresh");
    write(QStringLiteral("data/kolbrin/lib/libvorlak.so"), "system");
    write(QStringLiteral("data/apps/x/libvorlak.so"), "x");
    write(QStringLiteral("data/apps/y/LIBVORLAK.SO"), "upper");
    write(QStringLiteral("data/.hidden/a/b/c/LibVorlak.So"), "deep");
    // A folder under the library's name is searched, not renamed.
    write(QStringLiteral("data/libvorlak.so/libvorlak.so"), "in folder");
    write(QStringLiteral("data/apps/x/libvorlak.so.1"), "versioned");

    EXPECT_EQ(install(), Outcome::Installed);

    EXPECT_EQ(filesBelow(QStringLiteral("data")),
              QStringList({QStringLiteral("data/.hidden/a/b/c/") + kBackup,
                           QStringLiteral("data/apps/x/") + kBackup,
                           QStringLiteral("data/apps/x/libvorlak.so.1"),
                           QStringLiteral("data/apps/y/") + kBackup,
                           QStringLiteral("data/kolbrin/lib/") + kBackup,
                           QStringLiteral("data/kolbrin/lib/libvorlak.so"),
                           QStringLiteral("data/libvorlak.so/") + kBackup}));
    EXPECT_EQ(read(QStringLiteral("data/kolbrin/lib/") + kBackup), "system");
    EXPECT_EQ(read(QStringLiteral("data/apps/y/") + kBackup), "upper");
    EXPECT_EQ(read(QStringLiteral("data/kolbrin/lib/libvorlak.so")), "fresh");
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("prog/libvorlak.so"))));
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(LibraryInstallerTest, TheFreshCopyIsRecognisedInsideTheSearchedTree)
{
    write(QStringLiteral("data/apps/kolbrin/libvorlak.so"), "fresh");
    write(QStringLiteral("data/apps/other/libvorlak.so"), "old");
    // The same folder written another way: it is told by identity, not by its text.
    locations.programFolder = path(QStringLiteral("data/apps/other/../kolbrin/"));

    EXPECT_EQ(install(), Outcome::Installed);

    EXPECT_EQ(filesBelow(QStringLiteral("data")),
              QStringList({QStringLiteral("data/apps/other/") + kBackup,
                           QStringLiteral("data/kolbrin/lib/libvorlak.so")}));
    EXPECT_EQ(read(QStringLiteral("data/kolbrin/lib/libvorlak.so")), "fresh");
}

TEST_F(LibraryInstallerTest, ASecondRunInTheSameMinuteNeverReplacesTheFirstBackup)
{
    write(QStringLiteral("prog/libvorlak.so"), "first");
    write(QStringLiteral("data/kolbrin/lib/libvorlak.so"), "original");
    ASSERT_EQ(install(), Outcome::Installed);

    write(QStringLiteral("prog/libvorlak.so"), "second");
    write(QStringLiteral("data/other/libvorlak.so"), "other");
    EXPECT_EQ(install(), Outcome::Blocked);

    // The earlier backup keeps its content, the installed copy keeps its name, the fresh copy
    // stays, and the search went on past the failure.
    EXPECT_EQ(read(QStringLiteral("data/kolbrin/lib/") + kBackup), "original");
    EXPECT_EQ(read(QStringLiteral("data/kolbrin/lib/libvorlak.so")), "first");
    EXPECT_EQ(read(QStringLiteral("prog/libvorlak.so")), "second");
    EXPECT_EQ(read(QStringLiteral("data/other/") + kBackup), "other");
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown[0].title, QStringLiteral("Qel Setup"));
    EXPECT_TRUE(dialogs.shown[0].text.startsWith(
        QStringLiteral("Please stop all programs and run this program again!")));
    EXPECT_TRUE(
        dialogs.shown[0].text.contains(path(QStringLiteral("data/kolbrin/lib/libvorlak.so"))))
        << dialogs.shown[0].text.toStdString();

    // A minute later the backup name is free and the installation goes through.
    now = now.addSecs(60);
    EXPECT_EQ(install(), Outcome::Installed);
    EXPECT_EQ(read(QStringLiteral("data/kolbrin/lib/libvorlak 6_ 12_ 2026_ 14 6_Bak.so")), "first");
    EXPECT_EQ(read(QStringLiteral("data/kolbrin/lib/libvorlak.so")), "second");
}

TEST_F(LibraryInstallerTest, TheWalkNeverFollowsLinks)
{
    write(QStringLiteral("prog/libvorlak.so"), "fresh");
    write(QStringLiteral("outside/libvorlak.so"), "outside");
    write(QStringLiteral("data/a/keep.txt"), "keep");
    // A loop back to the root, a link to a folder outside the tree, and a link under the
    // library's name that points outside.
    ASSERT_TRUE(QFile::link(path(QStringLiteral("data")), path(QStringLiteral("data/a/loop"))));
    ASSERT_TRUE(QFile::link(path(QStringLiteral("outside")), path(QStringLiteral("data/a/out"))));
    ASSERT_TRUE(QFile::link(path(QStringLiteral("outside/libvorlak.so")),
                            path(QStringLiteral("data/a/libvorlak.so"))));

    EXPECT_EQ(install(), Outcome::Installed);

    EXPECT_EQ(read(QStringLiteral("outside/libvorlak.so")), "outside");
    const QFileInfo renamedLink(path(QStringLiteral("data/a/") + kBackup));
    EXPECT_TRUE(renamedLink.isSymLink());
    EXPECT_EQ(renamedLink.symLinkTarget(), path(QStringLiteral("outside/libvorlak.so")));
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(LibraryInstallerTest, ARootReachedThroughALinkIsSearched)
{
    write(QStringLiteral("prog/libvorlak.so"), "fresh");
    write(QStringLiteral("data/x/libvorlak.so"), "old");
    ASSERT_TRUE(QFile::link(path(QStringLiteral("data")), path(QStringLiteral("data-link"))));
    locations.roots = {{QStringLiteral("C:"), path(QStringLiteral("data-link"))}};

    EXPECT_EQ(install(), Outcome::Installed);

    EXPECT_EQ(read(QStringLiteral("data/x/") + kBackup), "old");
}

TEST_F(LibraryInstallerTest, AMissingRootIsPassedOverSilently)
{
    write(QStringLiteral("prog/libvorlak.so"), "fresh");
    write(QStringLiteral("second/libvorlak.so"), "old");
    locations.roots = {{QStringLiteral("C:"), path(QStringLiteral("no-such-drive"))},
                       {QStringLiteral("D:"), path(QStringLiteral("second"))}};

    EXPECT_EQ(install(), Outcome::Installed);

    EXPECT_EQ(progress.texts,
              QStringList({QStringLiteral("Searching C:"), QStringLiteral("Searching D:")}));
    EXPECT_EQ(pump.processCalls, 2);
    EXPECT_EQ(read(QStringLiteral("second/") + kBackup), "old");
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(LibraryInstallerTest, ASystemFolderOutsideTheRootsKeepsItsOldCopy)
{
    write(QStringLiteral("prog/libvorlak.so"), "fresh");
    write(QStringLiteral("elsewhere/lib/libvorlak.so"), "old");
    locations.systemFolder = path(QStringLiteral("elsewhere/lib"));

    EXPECT_EQ(install(), Outcome::Installed);

    EXPECT_EQ(read(QStringLiteral("elsewhere/lib/") + kBackup), "old");
    EXPECT_EQ(read(QStringLiteral("elsewhere/lib/libvorlak.so")), "fresh");
}

TEST_F(LibraryInstallerTest, AFreshCopyAlreadyInstalledIsNotInstalledAgain)
{
    // A program folder the user cannot write to keeps its copy after the installation.
    write(QStringLiteral("prog/libvorlak.so"), "same");
    write(QStringLiteral("data/kolbrin/lib/libvorlak.so"), "same");

    EXPECT_EQ(install(), Outcome::NothingToDo);

    EXPECT_EQ(pump.processCalls, 0);
    EXPECT_EQ(filesBelow(QStringLiteral("data")),
              QStringList{QStringLiteral("data/kolbrin/lib/libvorlak.so")});
}

TEST_F(LibraryInstallerTest, ASystemFolderThatCannotBeMadeLeavesTheFreshCopy)
{
    write(QStringLiteral("prog/libvorlak.so"), "fresh");
    write(QStringLiteral("data/kolbrin/lib"), "a file where the folder belongs");

    EXPECT_EQ(install(), Outcome::Failed);

    EXPECT_EQ(read(QStringLiteral("prog/libvorlak.so")), "fresh");
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_TRUE(dialogs.shown[0].text.contains(path(QStringLiteral("data/kolbrin/lib"))))
        << dialogs.shown[0].text.toStdString();
}
