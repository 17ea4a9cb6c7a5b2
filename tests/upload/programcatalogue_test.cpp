#include "tempdir.h"
#include "upload/programcatalogue.h"
#include "uploadtestsupport.h"

#include <QDir>
#include <QFile>
#include <dirent.h>
#include <gtest/gtest.h>

namespace {

class ProgramCatalogueTest : public TempDirTest
{
protected:
    void makeFiles(const QStringList& relatives)
    {
        for (const QString& relative : relatives) {
            writeTestFile(path(relative), "x");
        }
    }

    /// The names in a folder in the order the system gives them.
    static QStringList directoryOrder(const QString& folder)
    {
        QStringList names;
        if (DIR* dir = ::opendir(QFile::encodeName(folder).constData())) {
            while (const dirent* entry = ::readdir(dir)) {
                names.append(QFile::decodeName(entry->d_name));
            }
            ::closedir(dir);
        }
        return names;
    }

    [[nodiscard]] QStringList find(ProgramCatalogue::Limits limits = {})
    {
        ProgramCatalogue catalogue(limits);
        catalogue.FindFilesAPI(path(), QStringLiteral("*.bin"));
        m_complete = catalogue.complete();
        return catalogue.files();
    }

    bool m_complete = false;
};

} // namespace

TEST_F(ProgramCatalogueTest, FilesOfAFolderComeBeforeItsSubfoldersInTheOrderFound)
{
    makeFiles({QStringLiteral("zeta.bin"), QStringLiteral("alpha.bin"), QStringLiteral("MIXED.BIN"),
               QStringLiteral("notes.txt"), QStringLiteral("prog.bin.txt"),
               QStringLiteral("a/one.bin"), QStringLiteral("a/deep/two.bin"),
               QStringLiteral("b/three.bin"), QStringLiteral("dir.bin/four.bin")});
    const QStringList found = find();

    const QString root = path() + QLatin1Char('/');
    QStringList rootFiles;
    for (const QString& name : directoryOrder(path())) {
        if (name.endsWith(QStringLiteral(".bin"), Qt::CaseInsensitive) &&
            QFileInfo(root + name).isFile()) {
            rootFiles.append(root + name);
        }
    }
    ASSERT_EQ(rootFiles.size(), 3);
    ASSERT_EQ(found.size(), 7) << found.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(found.mid(0, 3), rootFiles);
    // Each subfolder is finished, its own subfolders included, before the next one starts.
    const qsizetype one = found.indexOf(root + QStringLiteral("a/one.bin"));
    ASSERT_GE(one, 3);
    EXPECT_EQ(found.value(one + 1), root + QStringLiteral("a/deep/two.bin"));
    EXPECT_TRUE(found.contains(root + QStringLiteral("b/three.bin")));
    EXPECT_TRUE(found.contains(root + QStringLiteral("dir.bin/four.bin")));
    EXPECT_TRUE(m_complete);
}

TEST_F(ProgramCatalogueTest, NoProgramAnywhereGivesAnEmptyList)
{
    makeFiles({QStringLiteral("notes.txt"), QStringLiteral("sub/prog.hea")});
    ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("empty.bin"))));
    EXPECT_TRUE(find().isEmpty());
    EXPECT_TRUE(m_complete);
}

TEST_F(ProgramCatalogueTest, LinksToFoldersAreNotFollowed)
{
    makeFiles({QStringLiteral("prog.bin"), QStringLiteral("sub/other.bin")});
    ASSERT_TRUE(QFile::link(path(), path(QStringLiteral("sub/loop"))));
    ASSERT_TRUE(QFile::link(path(QStringLiteral("sub")), path(QStringLiteral("side"))));
    EXPECT_EQ(find(), (QStringList{path(QStringLiteral("prog.bin")),
                                   path(QStringLiteral("sub/other.bin"))}));
    EXPECT_TRUE(m_complete);
}

TEST_F(ProgramCatalogueTest, AWalkPastItsBoundsStopsAndSaysSo)
{
    makeFiles({QStringLiteral("top.bin"), QStringLiteral("1/2/3/4/deep.bin")});
    EXPECT_EQ(find({/*maxDepth=*/2, /*maxEntries=*/1000}),
              QStringList{path(QStringLiteral("top.bin"))});
    EXPECT_FALSE(m_complete);

    makeFiles(
        {QStringLiteral("many/a.txt"), QStringLiteral("many/b.txt"), QStringLiteral("many/c.txt")});
    static_cast<void>(find({/*maxDepth=*/32, /*maxEntries=*/4}));
    EXPECT_FALSE(m_complete);
}

TEST(ProgramCatalogue, StripNullsKeepsTheTextBeforeTheFirstZero)
{
    const struct
    {
        QString in;
        QString out;
    } cases[] = {
        {QStringLiteral("prog.bin") + QString(5, QChar(u'\0')), QStringLiteral("prog.bin")},
        {QStringLiteral("prog.bin"), QStringLiteral("prog.bin")},
        {QString(QChar(u'\0')) + QStringLiteral("prog"), QString()},
        {QStringLiteral("a") + QChar(u'\0') + QStringLiteral("b"), QStringLiteral("a")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ProgramCatalogue::StripNulls(c.in), c.out) << c.in.toStdString();
    }
}
