#include "fakewindow.h"
#include "install/libraryinstaller.h"
#include "recordingdialogs.h"
#include "tempdir.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const QString kLibrary = u"libvorlak.so"_s;
const QDateTime kStart(QDate(2026, 12, 6), QTime(14, 5));
const QString kBackup = u"libvorlak 6_ 12_ 2026_ 14 5_Bak.so"_s;

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
        ASSERT_TRUE(QDir().mkpath(path(u"data"_s)));
        ASSERT_TRUE(QDir().mkpath(path(u"prog"_s)));
        locations = {
            path(u"prog"_s), path(u"data/kolbrin/lib"_s), {{u"C:"_s, path(u"data"_s)}}, kLibrary};
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
        installer.installCommLibrary();
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
    write(u"data/kolbrin/lib/libvorlak.so"_s, "installed");
    write(u"data/other/libvorlak.so"_s, "other");
    const QStringList before = filesBelow(u"data"_s);

    EXPECT_EQ(install(), Outcome::NothingToDo);

    EXPECT_EQ(filesBelow(u"data"_s), before);
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_TRUE(progress.texts.isEmpty());
    EXPECT_EQ(pump.processCalls, 0);
}

TEST_F(LibraryInstallerTest, AFreshCopyAloneMovesIntoTheSystemFolder)
{
    write(u"prog/libvorlak.so"_s, "fresh");
    write(u"data/notes/readme.txt"_s, "text");

    EXPECT_EQ(install(), Outcome::Installed);

    EXPECT_EQ(read(u"data/kolbrin/lib/libvorlak.so"_s), "fresh");
    EXPECT_FALSE(QFileInfo::exists(path(u"prog/libvorlak.so"_s)));
    EXPECT_EQ(filesBelow(u"data"_s),
              QStringList({u"data/kolbrin/lib/libvorlak.so"_s, u"data/notes/readme.txt"_s}));
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_EQ(progress.texts, QStringList{u"Searching C:"_s});
    EXPECT_EQ(pump.processCalls, 1);
    EXPECT_EQ(dialogs.busyDepth, 0);
}

TEST_F(LibraryInstallerTest, EveryOldCopyGetsItsBackupNameInItsOwnFolder)
{
    write(u"prog/libvorlak.so"_s, "fresh");
    write(u"data/kolbrin/lib/libvorlak.so"_s, "system");
    write(u"data/apps/x/libvorlak.so"_s, "x");
    write(u"data/apps/y/LIBVORLAK.SO"_s, "upper");
    write(u"data/.hidden/a/b/c/LibVorlak.So"_s, "deep");
    // A folder under the library's name is searched, not renamed.
    write(u"data/libvorlak.so/libvorlak.so"_s, "in folder");
    write(u"data/apps/x/libvorlak.so.1"_s, "versioned");

    EXPECT_EQ(install(), Outcome::Installed);

    EXPECT_EQ(filesBelow(u"data"_s),
              QStringList({u"data/.hidden/a/b/c/"_s + kBackup, u"data/apps/x/"_s + kBackup,
                           u"data/apps/x/libvorlak.so.1"_s, u"data/apps/y/"_s + kBackup,
                           u"data/kolbrin/lib/"_s + kBackup, u"data/kolbrin/lib/libvorlak.so"_s,
                           u"data/libvorlak.so/"_s + kBackup}));
    EXPECT_EQ(read(u"data/kolbrin/lib/"_s + kBackup), "system");
    EXPECT_EQ(read(u"data/apps/y/"_s + kBackup), "upper");
    EXPECT_EQ(read(u"data/kolbrin/lib/libvorlak.so"_s), "fresh");
    EXPECT_FALSE(QFileInfo::exists(path(u"prog/libvorlak.so"_s)));
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(LibraryInstallerTest, TheFreshCopyIsRecognisedInsideTheSearchedTree)
{
    write(u"data/apps/kolbrin/libvorlak.so"_s, "fresh");
    write(u"data/apps/other/libvorlak.so"_s, "old");
    // The same folder written another way: it is told by identity, not by its text.
    locations.programFolder = path(u"data/apps/other/../kolbrin/"_s);

    EXPECT_EQ(install(), Outcome::Installed);

    EXPECT_EQ(filesBelow(u"data"_s),
              QStringList({u"data/apps/other/"_s + kBackup, u"data/kolbrin/lib/libvorlak.so"_s}));
    EXPECT_EQ(read(u"data/kolbrin/lib/libvorlak.so"_s), "fresh");
}

TEST_F(LibraryInstallerTest, ASecondRunInTheSameMinuteNeverReplacesTheFirstBackup)
{
    write(u"prog/libvorlak.so"_s, "first");
    write(u"data/kolbrin/lib/libvorlak.so"_s, "original");
    ASSERT_EQ(install(), Outcome::Installed);

    write(u"prog/libvorlak.so"_s, "second");
    write(u"data/other/libvorlak.so"_s, "other");
    EXPECT_EQ(install(), Outcome::Blocked);

    // The earlier backup keeps its content, the installed copy keeps its name, the fresh copy
    // stays, and the search went on past the failure.
    EXPECT_EQ(read(u"data/kolbrin/lib/"_s + kBackup), "original");
    EXPECT_EQ(read(u"data/kolbrin/lib/libvorlak.so"_s), "first");
    EXPECT_EQ(read(u"prog/libvorlak.so"_s), "second");
    EXPECT_EQ(read(u"data/other/"_s + kBackup), "other");
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown[0].title, u"Qel Setup"_s);
    EXPECT_TRUE(dialogs.shown[0].text.startsWith(
        u"Please stop all programs and run this program again!"_s));
    EXPECT_TRUE(dialogs.shown[0].text.contains(path(u"data/kolbrin/lib/libvorlak.so"_s)))
        << dialogs.shown[0].text.toStdString();

    // A minute later the backup name is free and the installation goes through.
    now = now.addSecs(60);
    EXPECT_EQ(install(), Outcome::Installed);
    EXPECT_EQ(read(u"data/kolbrin/lib/libvorlak 6_ 12_ 2026_ 14 6_Bak.so"_s), "first");
    EXPECT_EQ(read(u"data/kolbrin/lib/libvorlak.so"_s), "second");
}

TEST_F(LibraryInstallerTest, TheWalkNeverFollowsLinks)
{
    write(u"prog/libvorlak.so"_s, "fresh");
    write(u"outside/libvorlak.so"_s, "outside");
    write(u"data/a/keep.txt"_s, "keep");
    // A loop back to the root, a link to a folder outside the tree, and a link under the
    // library's name that points outside.
    ASSERT_TRUE(QFile::link(path(u"data"_s), path(u"data/a/loop"_s)));
    ASSERT_TRUE(QFile::link(path(u"outside"_s), path(u"data/a/out"_s)));
    ASSERT_TRUE(QFile::link(path(u"outside/libvorlak.so"_s), path(u"data/a/libvorlak.so"_s)));

    // The root itself may be a link (a data folder moved elsewhere): that one is followed.
    ASSERT_TRUE(QFile::link(path(u"data"_s), path(u"data-link"_s)));
    locations.roots = {{u"C:"_s, path(u"data-link"_s)}};
    write(u"data/b/libvorlak.so"_s, "old");

    EXPECT_EQ(install(), Outcome::Installed);

    EXPECT_EQ(read(u"data/b/"_s + kBackup), "old");
    EXPECT_EQ(read(u"outside/libvorlak.so"_s), "outside");
    const QFileInfo renamedLink(path(u"data/a/"_s + kBackup));
    EXPECT_TRUE(renamedLink.isSymLink());
    EXPECT_EQ(renamedLink.symLinkTarget(), path(u"outside/libvorlak.so"_s));
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(LibraryInstallerTest, AMissingRootIsPassedOverSilently)
{
    write(u"prog/libvorlak.so"_s, "fresh");
    write(u"second/libvorlak.so"_s, "old");
    locations.roots = {{u"C:"_s, path(u"no-such-drive"_s)}, {u"D:"_s, path(u"second"_s)}};

    EXPECT_EQ(install(), Outcome::Installed);

    EXPECT_EQ(progress.texts, QStringList({u"Searching C:"_s, u"Searching D:"_s}));
    EXPECT_EQ(pump.processCalls, 2);
    EXPECT_EQ(read(u"second/"_s + kBackup), "old");
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(LibraryInstallerTest, ASystemFolderOutsideTheRootsKeepsItsOldCopy)
{
    write(u"prog/libvorlak.so"_s, "fresh");
    write(u"elsewhere/lib/libvorlak.so"_s, "old");
    locations.systemFolder = path(u"elsewhere/lib"_s);

    EXPECT_EQ(install(), Outcome::Installed);

    EXPECT_EQ(read(u"elsewhere/lib/"_s + kBackup), "old");
    EXPECT_EQ(read(u"elsewhere/lib/libvorlak.so"_s), "fresh");
}

TEST_F(LibraryInstallerTest, AFreshCopyAlreadyInstalledIsNotInstalledAgain)
{
    // A program folder the user cannot write to keeps its copy after the installation.
    write(u"prog/libvorlak.so"_s, "same");
    write(u"data/kolbrin/lib/libvorlak.so"_s, "same");

    EXPECT_EQ(install(), Outcome::NothingToDo);

    EXPECT_EQ(pump.processCalls, 0);
    EXPECT_EQ(filesBelow(u"data"_s), QStringList{u"data/kolbrin/lib/libvorlak.so"_s});
}

TEST_F(LibraryInstallerTest, ASystemFolderThatCannotBeMadeLeavesTheFreshCopy)
{
    write(u"prog/libvorlak.so"_s, "fresh");
    write(u"data/kolbrin/lib"_s, "a file where the folder belongs");

    EXPECT_EQ(install(), Outcome::Failed);

    EXPECT_EQ(read(u"prog/libvorlak.so"_s), "fresh");
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_TRUE(dialogs.shown[0].text.contains(path(u"data/kolbrin/lib"_s)))
        << dialogs.shown[0].text.toStdString();
}
