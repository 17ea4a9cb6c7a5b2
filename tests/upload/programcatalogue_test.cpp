#include "tempdir.h"
#include "upload/programcatalogue.h"
#include "uploadtestsupport.h"

#include <dirent.h>

namespace {

class ProgramCatalogueTest : public TempDirTest
{
protected:
    [[nodiscard]] QStringList find(ProgramCatalogue::Limits limits = {})
    {
        ProgramCatalogue catalogue(limits);
        catalogue.findFiles(path(), QStringLiteral("*.bin"));
        complete = catalogue.complete();
        return catalogue.files();
    }
    void make(const char* files)
    {
        for (const QString& file : list(files)) {
            writeTestFile(path(file), "x");
        }
    }

    bool complete = false;
};

} // namespace

TEST_F(ProgramCatalogueTest, FilesOfAFolderComeBeforeItsSubfoldersInTheOrderFound)
{
    make("zeta.bin|alpha.bin|MIXED.BIN|notes.txt|prog.bin.txt|a/one.bin|a/deep/two.bin|"
         "b/three.bin|dir.bin/four.bin");
    const QStringList found = find();

    // The top folder's programs in the order the system lists them, then the subfolders'.
    const QString root = path() + QLatin1Char('/');
    QStringList top;
    DIR* dir = ::opendir(QFile::encodeName(path()).constData());
    ASSERT_NE(dir, nullptr);
    while (const dirent* entry = ::readdir(dir)) {
        const QString name = QFile::decodeName(entry->d_name);
        if (name.endsWith(QStringLiteral(".bin"), Qt::CaseInsensitive) &&
            QFileInfo(root + name).isFile()) {
            top.append(root + name);
        }
    }
    ::closedir(dir);
    ASSERT_EQ(found.size(), 7) << found.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(found.mid(0, 3), top);
    // Each subfolder is finished, its own subfolders included, before the next one starts.
    const qsizetype one = found.indexOf(root + QStringLiteral("a/one.bin"));
    ASSERT_GE(one, 3);
    EXPECT_EQ(found.value(one + 1), root + QStringLiteral("a/deep/two.bin"));
    EXPECT_TRUE(found.contains(root + QStringLiteral("b/three.bin")));
    EXPECT_TRUE(found.contains(root + QStringLiteral("dir.bin/four.bin")));
    EXPECT_TRUE(complete);
}

TEST_F(ProgramCatalogueTest, NoProgramAnywhereGivesAnEmptyList)
{
    make("notes.txt|sub/prog.hea");
    ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("empty.bin"))));
    EXPECT_EQ(find(), QStringList());
    EXPECT_TRUE(complete);
}

TEST_F(ProgramCatalogueTest, LinksToFoldersAreNotFollowed)
{
    make("prog.bin|sub/other.bin");
    ASSERT_TRUE(QFile::link(path(), path(QStringLiteral("sub/loop"))));
    ASSERT_TRUE(QFile::link(path(QStringLiteral("sub")), path(QStringLiteral("side"))));
    EXPECT_EQ(find(), QStringList({path(QStringLiteral("prog.bin")),
                                   path(QStringLiteral("sub/other.bin"))}));
    EXPECT_TRUE(complete);
}

TEST_F(ProgramCatalogueTest, AWalkPastItsBoundsStopsAndSaysSo)
{
    make("top.bin|1/2/3/4/deep.bin");
    EXPECT_EQ(find({/*maxDepth=*/2, /*maxEntries=*/1000}),
              QStringList{path(QStringLiteral("top.bin"))});
    EXPECT_FALSE(complete);
    static_cast<void>(find({/*maxDepth=*/32, /*maxEntries=*/4}));
    EXPECT_FALSE(complete);
}
