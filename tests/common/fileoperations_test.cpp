#include "common/fileoperations.h"
#include "common/stagedfile.h"
#include "ordinaryuser.h"
#include "tempdir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <csignal>
#include <gtest/gtest.h>
#include <optional>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

void writeRaw(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

std::optional<QByteArray> contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? std::optional(file.readAll()) : std::nullopt;
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

// A write whose temporary file cannot be made fails with a reason and leaves the folder as it was.
void expectRefused(const QString& target, const QString& folder)
{
    SCOPED_TRACE(target.toStdString());
    const QStringList before = entries(folder);
    const FileWriteResult written = writeFileAtomically(target, QByteArrayView("data"));
    EXPECT_FALSE(written.ok);
    EXPECT_FALSE(written.error.isEmpty());
    EXPECT_TRUE(written.notCreated);
    EXPECT_EQ(entries(folder), before);
}

} // namespace

using FileOperations = TempDirTest;

TEST_F(FileOperations, AtomicWriteReplacesTheWholeContentAndLeavesNoTemporaryFile)
{
    const QByteArray longer = "an older and much longer content\nover two lines\n";
    const struct
    {
        const char* name;
        std::optional<QByteArray> before;
        std::initializer_list<QByteArrayView> chunks;
        QByteArray after;
    } cases[] = {
        {"new file", std::nullopt, {"fresh"}, "fresh"},
        {"shorter over longer", longer, {"new"}, "new"},
        {"nothing over longer", longer, {}, ""},
        {"pieces in order", longer, {"ab", "", "cd", "\r\nef"}, "abcd\r\nef"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString folder = path(QString::fromLatin1(c.name));
        ASSERT_TRUE(QDir().mkpath(folder));
        const QString target = folder + u"/out.txt"_s;
        if (c.before) {
            writeRaw(target, *c.before);
        }
        const FileWriteResult written = writeFileAtomically(target, c.chunks);
        EXPECT_TRUE(written.ok) << written.error.toStdString();
        EXPECT_EQ(contentOf(target), c.after);
        EXPECT_EQ(entries(folder), QStringList{u"out.txt"_s});
    }
    // A replaced file keeps its permissions, not those of a new temporary file.
    const QString kept = path(u"new file/out.txt"_s);
    const auto chosen = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
    ASSERT_TRUE(QFile::setPermissions(kept, chosen));
    ASSERT_TRUE(writeFileAtomically(kept, QByteArrayView("again")));
    const auto asThisUser = QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser;
    EXPECT_EQ(QFile::permissions(kept) & ~asThisUser, chosen);
}

TEST_F(FileOperations, AtomicWriteThroughALinkWritesTheFileItNamesAndKeepsTheLink)
{
    ASSERT_TRUE(QDir().mkpath(path(u"real"_s)));
    writeRaw(path(u"real/out.txt"_s), "old");
    ASSERT_TRUE(QFile::link(path(u"real/out.txt"_s), path(u"link.txt"_s)));

    ASSERT_TRUE(writeFileAtomically(path(u"link.txt"_s), QByteArrayView("new")));

    EXPECT_TRUE(QFileInfo(path(u"link.txt"_s)).isSymLink());
    EXPECT_EQ(contentOf(path(u"real/out.txt"_s)), QByteArray("new"));
    EXPECT_EQ(entries(path(u"real"_s)), QStringList{u"out.txt"_s});
}

TEST_F(FileOperations, LeftoversOfAKilledWriteGoAtCleanUpButFilesInUseAndOthersStay)
{
    const QString folder = path();
    // Another run, killed in the middle of its write.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        StagedFile staged;
        if (staged.create(folder + u"/big.txt"_s).isEmpty() &&
            staged.write(QByteArray(100000, 'r')).isEmpty()) {
            ::kill(::getpid(), SIGKILL);
        }
        _exit(1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    const QStringList left = QDir(folder).entryList({u"big.txt.*.kolbrin-tmp"_s}, QDir::Files);
    ASSERT_EQ(left.size(), 1);
    EXPECT_TRUE(isStagedFileName(left.front()));

    // A write under way in this run holds its file.
    StagedFile inUse;
    ASSERT_EQ(inUse.create(folder + u"/shop0001.txt"_s), QString());
    const QString inUseName = QFileInfo(inUse.path()).fileName();
    const QStringList others = {
        u"big.txt"_s,
        u"big.txt.b45a9aff.tmp"_s,
        u"big.txt.sRpMRa"_s,
        u"big.txt.b45a9afG.kolbrin-tmp"_s,
        u"big.txt.b45a9af.kolbrin-tmp"_s,
        u".b45a9aff.kolbrin-tmp"_s,
        u"big.txt.b45a9aff.kolbrin-tmp.bak"_s,
    };
    for (const QString& name : others) {
        EXPECT_FALSE(isStagedFileName(name)) << name.toStdString();
        writeRaw(folder + u'/' + name, "keep");
    }
    ASSERT_TRUE(QDir().mkpath(folder + u"/sub.b45a9aff.kolbrin-tmp"_s));
    ASSERT_TRUE(QFile::link(folder + u"/big.txt"_s, folder + u"/link.b45a9aff.kolbrin-tmp"_s));

    EXPECT_EQ(removeStaleStagedFiles(folder), QStringList());

    QStringList kept = others;
    kept << inUseName << u"sub.b45a9aff.kolbrin-tmp"_s << u"link.b45a9aff.kolbrin-tmp"_s;
    kept.sort();
    QStringList found = entries(folder);
    found.sort();
    EXPECT_EQ(found, kept);
    EXPECT_EQ(contentOf(folder + u"/big.txt"_s), QByteArray("keep"));
}

TEST_F(FileOperations, AtomicWriteIntoAMissingFolderGivesTheReasonAndCreatesNothing)
{
    writeRaw(path(u"blocker"_s), "a file where a folder should be");
    expectRefused(path(u"missing/out.txt"_s), path());
    expectRefused(path(u"blocker/out.txt"_s), path());
}

TEST_F(FileOperations, AtomicWriteIntoAReadOnlyFolderGivesTheReasonAndKeepsTheFile)
{
    const QString folder = path(u"locked"_s);
    ASSERT_TRUE(QDir().mkpath(folder));
    writeRaw(folder + u"/out.txt"_s, "kept");
    const auto readable = QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther |
                          QFileDevice::ExeOther;
    ASSERT_TRUE(QFile::setPermissions(path(), readable | QFileDevice::WriteOwner));
    ASSERT_TRUE(QFile::setPermissions(folder, readable));
    // Root writes into any folder: it meets this one as an ordinary user would.
    const auto refused = [&] {
        for (const QString& target : {folder + u"/new.txt"_s, folder + u"/out.txt"_s}) {
            const FileWriteResult written = writeFileAtomically(target, QByteArrayView("new"));
            if (written.ok || written.error.isEmpty() || !written.notCreated) {
                return false;
            }
        }
        return true;
    };
    EXPECT_TRUE(geteuid() == 0 ? holdsAsOrdinaryUser(refused) : refused());
    ASSERT_TRUE(QFile::setPermissions(folder, readable | QFileDevice::WriteOwner));
    EXPECT_EQ(contentOf(folder + u"/out.txt"_s), QByteArray("kept"));
    EXPECT_EQ(entries(folder), QStringList{u"out.txt"_s});
}

TEST_F(FileOperations, RenameWithoutReplacingRefusesATakenNameAndKeepsBothFiles)
{
    const struct
    {
        const char* name;
        std::optional<QByteArray> source;
        std::optional<QByteArray> target;
        RenameOutcome outcome;
    } cases[] = {
        {"free name", "new", std::nullopt, RenameOutcome::Renamed},
        {"taken name", "new", "earlier", RenameOutcome::NameTaken},
        {"taken by an empty file", "new", "", RenameOutcome::NameTaken},
        {"no source", std::nullopt, std::nullopt, RenameOutcome::Failed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString folder = path(QString::fromLatin1(c.name));
        ASSERT_TRUE(QDir().mkpath(folder));
        const QString from = folder + u"/from.txt"_s;
        const QString to = folder + u"/to.txt"_s;
        for (const auto& [file, content] : {std::pair(from, c.source), std::pair(to, c.target)}) {
            if (content) {
                writeRaw(file, *content);
            }
        }
        const RenameResult renamed = renameWithoutReplacing(from, to);
        EXPECT_EQ(renamed.outcome, c.outcome);
        const bool done = c.outcome == RenameOutcome::Renamed;
        EXPECT_EQ(bool(renamed), done);
        EXPECT_EQ(renamed.error.isEmpty(), done) << renamed.error.toStdString();
        EXPECT_EQ(contentOf(from), done ? std::nullopt : c.source);
        EXPECT_EQ(contentOf(to), done ? c.source : c.target);
    }
}

TEST(QuotedPath, PutsThePathInDoubleQuotesWithThePlatformsSeparators)
{
#ifdef Q_OS_WIN
    const QString shown = u"\"C:\\out.d\\a \"b\" %1.txt\""_s;
#else
    const QString shown = u"\"C:/out.d/a \"b\" %1.txt\""_s;
#endif
    EXPECT_EQ(quotedPath(u"C:/out.d/a \"b\" %1.txt"_s), shown);
    EXPECT_EQ(quotedPath(QString()), u"\"\""_s);
}
