#include "link/vorlaklibrary.h"
#include "qtprinters.h"
#include "recordingdialogs.h"
#include "tempdir.h"

#include <QDir>
#include <QFile>
#include <QLibrary>
#include <functional>
#include <gtest/gtest.h>

namespace {

// Stand-ins built next to this test: "full" exports every function, "partial" lacks
// I_KillProgram and VORLAK_LastOpenError.
const QString kFullDir = QStringLiteral(FAKE_VORLAK_FULL_DIR);
const QString kPartialDir = QStringLiteral(FAKE_VORLAK_PARTIAL_DIR);

QString libraryIn(const QString& folder)
{
    return QDir(folder).filePath(VorlakLibrary::libraryFileName());
}

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv
{
public:
    ScopedEnv(const char* name, const QByteArray& value)
        : m_name(name)
        , m_had(qEnvironmentVariableIsSet(name))
        , m_old(qgetenv(name))
    {
        qputenv(name, value);
    }
    ~ScopedEnv()
    {
        if (m_had) {
            qputenv(m_name, m_old);
        } else {
            qunsetenv(m_name);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_name;
    bool m_had;
    QByteArray m_old;
};

class VorlakLibraryTest : public TempDirTest
{
protected:
    QString emptyFolder(const QString& name)
    {
        EXPECT_TRUE(QDir().mkpath(path(name)));
        return path(name);
    }

    RecordingDialogs dialogs;
};

TEST_F(VorlakLibraryTest, ProgramFolderComesBeforeSystemFolder)
{
    {
        VorlakLibrary library(dialogs, {kFullDir, kPartialDir, false});
        EXPECT_TRUE(library.load());
        EXPECT_EQ(library.loadedFrom(), libraryIn(kFullDir));
    }
    {
        VorlakLibrary library(dialogs, {kPartialDir, kFullDir, false});
        EXPECT_TRUE(library.load());
        EXPECT_EQ(library.loadedFrom(), libraryIn(kPartialDir));
    }
}

TEST_F(VorlakLibraryTest, SystemFolderIsUsedWhenTheProgramFolderHasNoCopy)
{
    VorlakLibrary library(dialogs, {emptyFolder(QStringLiteral("bin")), kFullDir, false});
    QByteArray terminalId(8, ' ');
    EXPECT_EQ(library.I_CheckTerminal(terminalId), 1);
    EXPECT_EQ(library.loadedFrom(), libraryIn(kFullDir));
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(VorlakLibraryTest, DefaultSystemFolderIsKolbrinLibInTheUsersDataFolder)
{
    const ScopedEnv dataHome("XDG_DATA_HOME", QFile::encodeName(path(QStringLiteral("data"))));
    const QString systemFolder = path(QStringLiteral("data/kolbrin/lib"));
    ASSERT_EQ(VorlakLibrary::systemFolder(), systemFolder);
    ASSERT_TRUE(QDir().mkpath(systemFolder));
    ASSERT_TRUE(QFile::copy(libraryIn(kFullDir), libraryIn(systemFolder)));

    VorlakLibrary library(dialogs);
    EXPECT_TRUE(library.load());
    EXPECT_EQ(library.loadedFrom(), libraryIn(systemFolder));
}

TEST_F(VorlakLibraryTest, PackageFolderComesBetweenProgramAndSystemFolders)
{
    {
        VorlakLibrary::SearchPath search{emptyFolder(QStringLiteral("bin")), kPartialDir, false};
        search.packageFolder = kFullDir;
        VorlakLibrary library(dialogs, search);
        EXPECT_TRUE(library.load());
        EXPECT_EQ(library.loadedFrom(), libraryIn(kFullDir));
    }
    {
        VorlakLibrary::SearchPath search{kFullDir, {}, false};
        search.packageFolder = kPartialDir;
        VorlakLibrary library(dialogs, search);
        EXPECT_TRUE(library.load());
        EXPECT_EQ(library.loadedFrom(), libraryIn(kFullDir));
    }
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

// The tree a package installs, wherever it lies: <prefix>/<bindir>/kolbrin and the library in
// <prefix>/<libdir>/kolbrin. Nothing else offers a copy here.
TEST_F(VorlakLibraryTest, InstalledTreeIsFoundFromTheProgramsFolder)
{
    const ScopedEnv dataHome("XDG_DATA_HOME", QFile::encodeName(path(QStringLiteral("data"))));
    const QString prefix = path(QStringLiteral("unpacked/usr"));
    const QString programFolder = prefix + QStringLiteral("/" KOLBRIN_TEST_INSTALL_BINDIR);
    const QString libraryFolder =
        prefix + QStringLiteral("/" KOLBRIN_TEST_INSTALL_LIBDIR "/kolbrin");
    ASSERT_TRUE(QDir().mkpath(programFolder));
    ASSERT_TRUE(QDir().mkpath(libraryFolder));
    ASSERT_TRUE(QFile::copy(libraryIn(kFullDir), libraryIn(libraryFolder)));

    VorlakLibrary::SearchPath search = VorlakLibrary::searchPathFor(programFolder);
    EXPECT_EQ(search.programFolder, programFolder);
    EXPECT_EQ(search.packageFolder, libraryFolder);
    EXPECT_EQ(search.systemFolder, path(QStringLiteral("data/kolbrin/lib")));
    EXPECT_TRUE(search.platformSearch);

    search.platformSearch = false;
    VorlakLibrary library(dialogs, search);
    QByteArray terminalId(8, ' ');
    EXPECT_EQ(library.I_CheckTerminal(terminalId), 1);
    EXPECT_EQ(library.loadedFrom(), libraryIn(libraryFolder));
    EXPECT_TRUE(dialogs.shown.isEmpty());

    EXPECT_TRUE(VorlakLibrary::packageFolder({}).isEmpty());
}

TEST_F(VorlakLibraryTest, LibraryIsLoadedAtFirstUseSoAnInstalledCopyIsFound)
{
    // Start-up installs the fresh copy after the library object exists, before the first call.
    const QString programFolder = emptyFolder(QStringLiteral("bin"));
    VorlakLibrary library(dialogs, {programFolder, {}, false});
    ASSERT_TRUE(QFile::copy(libraryIn(kFullDir), libraryIn(programFolder)));

    QByteArray terminalId(8, ' ');
    EXPECT_EQ(library.I_CheckTerminal(terminalId), 1);
    EXPECT_EQ(library.loadedFrom(), libraryIn(programFolder));
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(VorlakLibraryTest, MissingLibraryIsReportedOnceAndEveryCallFails)
{
    QLibrary probe(VorlakLibrary::libraryFileName());
    if (probe.load()) {
        probe.unload();
        GTEST_SKIP() << "a copy of the library is on this machine's library search path";
    }
    const QString programFolder = emptyFolder(QStringLiteral("bin"));
    const QString systemFolder = emptyFolder(QStringLiteral("lib"));
    const QString packageFolder = emptyFolder(QStringLiteral("usr/lib/kolbrin"));
    VorlakLibrary library(dialogs, {programFolder, systemFolder, true, packageFolder});

    QByteArray terminalId(8, ' ');
    for (int tick = 0; tick < 50; ++tick) {
        // 0, not -1: the polling cycle reads any nonzero answer as a terminal in the cradle.
        EXPECT_EQ(library.I_CheckTerminal(terminalId), 0);
    }
    EXPECT_EQ(library.I_ClearAllEntries(terminalId), -1);
    std::int32_t token = 77;
    EXPECT_EQ(library.I_ReadHeader(terminalId, "[Doc]", -1, token), -1);
    EXPECT_EQ(token, 0);
    EXPECT_EQ(library.I_OpenCom(1, 9600), -1);
    EXPECT_EQ(library.IO_Open(1, 9600), -1);
    EXPECT_TRUE(library.IO_Read(1, 10, 0).isEmpty());
    EXPECT_EQ(library.IO_NumCharsInQue(1), 0);
    EXPECT_TRUE(library.GetStringFromPtr(1, 5).isEmpty());
    library.IO_Write(1, "AT\r");
    library.VORLAK_Sleep(1000);
    library.I_CloseCom(1);
    EXPECT_FALSE(library.lastOpenError().has_value());
    EXPECT_EQ(terminalId, QByteArray(8, ' '));
    EXPECT_FALSE(library.isLoaded());

    ASSERT_EQ(dialogs.messages().size(), 1);
    const QString message = dialogs.messages().first();
    EXPECT_TRUE(message.contains(QStringLiteral("libvorlak.so could not be found")))
        << message.toStdString();
    EXPECT_TRUE(message.contains(programFolder)) << message.toStdString();
    EXPECT_TRUE(message.contains(systemFolder)) << message.toStdString();
    EXPECT_TRUE(message.contains(packageFolder)) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("library search path"))) << message.toStdString();
    EXPECT_EQ(library.problem(), message);
}

TEST_F(VorlakLibraryTest, UnusableCopyIsSkippedAndNamedWhenNothingElseLoads)
{
    const QString programFolder = emptyFolder(QStringLiteral("bin"));
    QFile broken(libraryIn(programFolder));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("not a library");
    broken.close();

    {
        VorlakLibrary library(dialogs, {programFolder, kFullDir, false});
        EXPECT_TRUE(library.load());
        EXPECT_EQ(library.loadedFrom(), libraryIn(kFullDir));
        EXPECT_TRUE(dialogs.shown.isEmpty());
    }
    {
        VorlakLibrary library(dialogs, {programFolder, emptyFolder(QStringLiteral("lib")), false});
        EXPECT_FALSE(library.load());
        EXPECT_EQ(library.I_OpenCom(1, 9600), -1);
        ASSERT_EQ(dialogs.messages().size(), 1);
        const QString message = dialogs.messages().first();
        EXPECT_TRUE(message.contains(QStringLiteral("could not be loaded")))
            << message.toStdString();
        EXPECT_TRUE(message.contains(libraryIn(programFolder))) << message.toStdString();
    }
}

TEST_F(VorlakLibraryTest, MissingFunctionIsReportedOnceAndTheOthersStillWork)
{
    VorlakLibrary library(dialogs, {kPartialDir, {}, false});
    QByteArray terminalId(8, ' ');
    for (int attempt = 0; attempt < 5; ++attempt) {
        EXPECT_EQ(library.I_KillProgram(terminalId), -1);
    }
    EXPECT_EQ(library.I_CheckTerminal(terminalId), 1);
    EXPECT_EQ(terminalId, QByteArray("T1      "));
    EXPECT_EQ(library.I_OpenCom(1, 9600), 0);
    // The open-error extension is optional: its absence is neither a fault nor a message.
    EXPECT_FALSE(library.lastOpenError().has_value());

    ASSERT_EQ(dialogs.messages().size(), 1);
    const QString message = dialogs.messages().first();
    EXPECT_TRUE(message.contains(QStringLiteral("function I_KillProgram")))
        << message.toStdString();
    EXPECT_TRUE(message.contains(libraryIn(kPartialDir))) << message.toStdString();
    EXPECT_FALSE(message.contains(QStringLiteral("VORLAK_LastOpenError"))) << message.toStdString();
}

// The message box lets the polling timer run; a tick inside it must neither load again nor
// show a second message.
TEST_F(VorlakLibraryTest, CallMadeWhileTheMessageIsShownGetsNoSecondMessage)
{
    struct TickingDialogs : RecordingDialogs
    {
        std::function<void()> duringMessage;
        void showMessage(const QString& text, const QString& title, MessageIcon icon) override
        {
            RecordingDialogs::showMessage(text, title, icon);
            duringMessage();
        }
    } ticking;
    VorlakLibrary library(ticking, {emptyFolder(QStringLiteral("bin")), {}, false});
    std::int32_t nestedResult = -99;
    ticking.duringMessage = [&] {
        QByteArray terminalId(8, ' ');
        nestedResult = library.I_CheckTerminal(terminalId);
    };

    QByteArray terminalId(8, ' ');
    EXPECT_EQ(library.I_CheckTerminal(terminalId), 0);
    EXPECT_EQ(nestedResult, 0);
    EXPECT_EQ(ticking.messages().size(), 1);
}

TEST_F(VorlakLibraryTest, TerminalIdComesBackAsEightCharacters)
{
    VorlakLibrary library(dialogs, {kFullDir, {}, false});

    QByteArray terminalId(8, ' ');
    EXPECT_EQ(library.I_CheckTerminal(terminalId), 1);
    EXPECT_EQ(terminalId, QByteArray("T1      "));

    // A short identity is widened to the 8 characters the library needs room for.
    QByteArray empty;
    EXPECT_EQ(library.I_CheckTerminal(empty), 1);
    EXPECT_EQ(empty, QByteArray("T1      "));

    // A library that zero-terminates a short identity still leaves 8 characters, no zero.
    terminalId = "ABCDEFGH";
    EXPECT_EQ(library.I_ClearAllEntries(terminalId), 0);
    EXPECT_EQ(terminalId, QByteArray("T3      "));
}

TEST_F(VorlakLibraryTest, TemplateBuffersHave255Characters)
{
    VorlakLibrary library(dialogs, {kFullDir, {}, false});
    QByteArray terminalId(8, ' ');

    // The stand-in fills every place it was given and marks the last one.
    QByteArray bodyTemplate = "stale";
    EXPECT_EQ(library.I_ReadEntriesConfig(terminalId, bodyTemplate), 1);
    EXPECT_EQ(bodyTemplate.size(), 255);
    EXPECT_TRUE(bodyTemplate.startsWith("[Code][XXXXXXXX][Qty][XXXX]   "));
    EXPECT_TRUE(bodyTemplate.endsWith('|'));

    QByteArray headerTemplate = "stale";
    EXPECT_EQ(library.I_ReadHeadersConfig(terminalId, headerTemplate), 0);
    EXPECT_EQ(headerTemplate, QByteArray(255, ' '));
}

TEST_F(VorlakLibraryTest, ReadingTextsCrossByToken)
{
    VorlakLibrary library(dialogs, {kFullDir, {}, false});
    QByteArray terminalId(8, ' ');
    const QByteArray cafe("[Caf\xe9]");

    std::int32_t token = 0;
    const std::int32_t length = library.I_ReadHeader(terminalId, cafe, -1, token);
    ASSERT_EQ(length, 9);
    EXPECT_EQ(library.GetStringFromPtr(token, length), QByteArray("H1:[Caf\xe9]"));
    EXPECT_EQ(library.GetStringFromPtr(token, 3), QByteArray("H1:"));

    ASSERT_EQ(library.I_ReadEntries(terminalId, "[Code]", -2, token), 9);
    EXPECT_EQ(library.GetStringFromPtr(token, 9), QByteArray("E2:[Code]"));

    EXPECT_EQ(library.I_ReadHeader(terminalId, cafe, -3, token), -3);
    EXPECT_EQ(token, 0);
    // An unknown token copies nothing: the prepared spaces come back.
    EXPECT_EQ(library.GetStringFromPtr(999, 4), QByteArray("    "));
    EXPECT_TRUE(library.GetStringFromPtr(token, 0).isEmpty());
}

TEST_F(VorlakLibraryTest, ListDataAndRawBytesKeepTheirZeroBytes)
{
    VorlakLibrary library(dialogs, {kFullDir, {}, false});
    QByteArray terminalId(8, ' ');
    const QByteArray list("A\0B\0", 4);
    EXPECT_EQ(library.I_SendList(terminalId, "var", list, 5), 4);
    EXPECT_EQ(library.I_SendList(terminalId, "", QByteArray(), 5), 0);

    ASSERT_EQ(library.IO_Open(1, 9600), 1);
    library.IO_Write(1, QByteArray("AT\0\r", 4));
    EXPECT_EQ(library.IO_NumCharsInQue(1), 4);
    EXPECT_EQ(library.IO_Read(1, 2, 0), QByteArray("AT"));
    EXPECT_EQ(library.IO_Read(1, 10, 0), QByteArray("\0\r", 2));
    EXPECT_TRUE(library.IO_Read(1, 10, 0).isEmpty());
    EXPECT_TRUE(library.IO_Read(1, 0, 0).isEmpty());
}

TEST_F(VorlakLibraryTest, OpenFailureIsDescribedWhenTheLibraryCanTell)
{
    VorlakLibrary library(dialogs, {kFullDir, {}, false});
    EXPECT_EQ(library.I_OpenCom(13, 9600), -1);
    const auto error = library.lastOpenError();
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->kind, CommLibrary::OpenError::Kind::PermissionDenied);
    EXPECT_EQ(
        error->text,
        QStringLiteral("permission denied on /dev/ttyUSB0: add the user to the dialout group"));
    // Kind 4: the device is held by another program.
    EXPECT_EQ(library.I_OpenCom(14, 9600), -1);
    const auto busy = library.lastOpenError();
    ASSERT_TRUE(busy.has_value());
    EXPECT_EQ(busy->kind, CommLibrary::OpenError::Kind::InUse);

    EXPECT_EQ(library.I_OpenCom(1, 9600), 0);
    EXPECT_FALSE(library.lastOpenError().has_value());
}

} // namespace
