#include "acquisition/readingsession.h"
#include "common/appstate.h"
#include "config/memorysettingsstore.h"
#include "fakewindow.h"
#include "i18n/uilanguage.h"
#include "recordingdialogs.h"
#include "tempdir.h"
#include "upload/programinstaller.h"
#include "upload/uploadprotocol.h"
#include "uploadtestsupport.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

using Result = ProgramInstaller::Result;

class ProgramInstallerTest : public TempDirTest
{
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        language.ApplyLanguage(QStringLiteral("English"), false, false, false);
        ASSERT_TRUE(store.write(QStringLiteral("ComPort"), QStringLiteral("Com7")));
        ASSERT_TRUE(store.write(QStringLiteral("AsciiDataFormat"), QStringLiteral("[Code]")));
        state.settings.ComPortNumber = 7;
        state.settings.BaudRate9600 = 9600;
        state.settings.BodyTemplate = QStringLiteral("[Code]\r\n");
        state.TerminalOnCradle = true;
        session.receivingdata_ini();
        library.calls.clear();
        writeTestFile(path(QStringLiteral("programs/sub/prog.bin")), "new image");
        writeTestFile(path(QStringLiteral("programs/sub/prog.hea")), "NEWHEAD1");
        writeTestFile(offline(QStringLiteral("old.bin")), "old image");
        writeTestFile(offline(QStringLiteral("old.hea")), "OLDHEAD1");
    }

    [[nodiscard]] QString offline(const QString& name = {}) const
    {
        return path(QStringLiteral("offline/") + name);
    }
    [[nodiscard]] QString entry() const { return path(QStringLiteral("programs/sub/prog.bin")); }

    /// Every file of the offline folder with its content, by name.
    [[nodiscard]] QStringList offlineContent() const
    {
        QStringList out;
        for (const QString& name : QDir(offline()).entryList(
                 QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
            out.append(name + QLatin1Char('=') + QString::fromLatin1(readTestFile(offline(name))));
        }
        return out;
    }

    AnsweringLibrary library;
    AppState state;
    MemorySettingsStore store;
    FakeWindowControls window;
    CountingEventPump pump;
    RecordingDialogs dialogs;
    UiLanguage language;
    RecordingProgress progress;
    ReadingSession session{library, state, window, pump, dialogs, language};
    UploadProtocol protocol{library, state,    session,  store, pump,
                            dialogs, language, progress, {50}};
    ProgramInstaller installer{state, store, session, dialogs, language, offline()};
};

const QStringList kOldProgram{QStringLiteral("old.bin=old image"),
                              QStringLiteral("old.hea=OLDHEAD1")};

} // namespace

TEST_F(ProgramInstallerTest, NothingSelectedAsksForAChoiceAndTouchesNothing)
{
    EXPECT_EQ(installer.Command1_Click({QString(), true, QStringLiteral("Com3")}, protocol),
              Result::NothingSelected);
    EXPECT_EQ(dialogs.messages(),
              QStringList{QStringLiteral("Please select the program you want to install!")});
    EXPECT_TRUE(library.calls.isEmpty());
    EXPECT_TRUE(state.PortOpen);
    EXPECT_EQ(store.read(QStringLiteral("ComPort"), {}), QStringLiteral("Com7"));
    EXPECT_EQ(offlineContent(), kOldProgram);
}

TEST_F(ProgramInstallerTest, AnUnreadableProgramLeavesThePreviousOneInPlace)
{
    const struct
    {
        const char* name;
        const char* file; ///< removed, or emptied
        bool remove;
    } cases[] = {
        {"header missing beside the image", "programs/sub/prog.hea", true},
        {"image gone since the list was made", "programs/sub/prog.bin", true},
        {"image empty", "programs/sub/prog.bin", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeTestFile(path(QStringLiteral("programs/sub/prog.bin")), "new image");
        writeTestFile(path(QStringLiteral("programs/sub/prog.hea")), "NEWHEAD1");
        const QString file = path(QString::fromLatin1(c.file));
        if (c.remove) {
            ASSERT_TRUE(QFile::remove(file));
        } else {
            writeTestFile(file, {});
        }
        dialogs.shown.clear();
        EXPECT_EQ(installer.Command1_Click({entry(), false, {}}, protocol), Result::NotInstalled);
        ASSERT_EQ(dialogs.messages().size(), 1);
        EXPECT_TRUE(dialogs.messages().front().contains(file))
            << dialogs.messages().front().toStdString();
        EXPECT_EQ(offlineContent(), kOldProgram);
        EXPECT_TRUE(library.calls.isEmpty());
        EXPECT_EQ(state.settings.BodyTemplate, QStringLiteral("[Code]\r\n"));
    }
}

TEST_F(ProgramInstallerTest, ACopyThatFailsLeavesThePreviousProgramAndResumesReading)
{
    // The new header cannot replace a folder of its name; the new image already went in and
    // must be taken back out.
    writeTestFile(offline(QStringLiteral("prog.bin")), "older image of the same name");
    ASSERT_TRUE(QDir().mkpath(offline(QStringLiteral("prog.hea"))));
    const QStringList before = offlineContent();

    EXPECT_EQ(installer.Command1_Click({entry(), false, {}}, protocol), Result::NotInstalled);
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_TRUE(dialogs.messages().front().contains(offline(QStringLiteral("prog.hea"))));
    EXPECT_EQ(offlineContent(), before);
    EXPECT_EQ(store.read(QStringLiteral("AsciiDataFormat"), {}), QStringLiteral("[Code]"));
    EXPECT_EQ(library.calls,
              (QStringList{QStringLiteral("I_CloseCom 7"), QStringLiteral("I_OpenCom 7 9600")}));
}

TEST_F(ProgramInstallerTest, AnOfflineFolderThatCannotBeMadeIsReported)
{
    ProgramInstaller blocked{state,   store,    session,
                             dialogs, language, path(QStringLiteral("file/offline"))};
    writeTestFile(path(QStringLiteral("file")), "a file where a folder should be");
    EXPECT_EQ(blocked.Command1_Click({entry(), false, {}}, protocol), Result::NotInstalled);
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_TRUE(dialogs.messages().front().contains(path(QStringLiteral("file/offline"))));
    EXPECT_TRUE(state.PortOpen);
}

TEST_F(ProgramInstallerTest, InstallReplacesThePreviousProgramAndSendsNothing)
{
    writeTestFile(offline(QStringLiteral(".hidden")), "x");
    EXPECT_EQ(installer.Command1_Click({entry(), false, QStringLiteral("Com3")}, protocol),
              Result::Installed);
    EXPECT_EQ(offlineContent(), (QStringList{QStringLiteral("prog.bin=new image"),
                                             QStringLiteral("prog.hea=NEWHEAD1")}));
    EXPECT_TRUE(QDir(offline()).entryList(QDir::Hidden | QDir::Files).size() == 2);
    // The body template is read from the terminal again after a new program.
    EXPECT_EQ(store.read(QStringLiteral("AsciiDataFormat"), QStringLiteral("<none>")), QString());
    EXPECT_TRUE(state.settings.BodyTemplate.isEmpty());
    EXPECT_EQ(store.read(QStringLiteral("ComPort"), {}), QStringLiteral("Com7"));
    EXPECT_EQ(library.calls,
              (QStringList{QStringLiteral("I_CloseCom 7"), QStringLiteral("I_OpenCom 7 9600")}));
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_EQ(dialogs.busyDepth, 0);
}

TEST_F(ProgramInstallerTest, OldTerminalsGetTheProgramOnThePortChosen)
{
    library.replies = {"OK\r\n"};
    EXPECT_EQ(installer.Command1_Click({entry(), true, QStringLiteral("Com3")}, protocol),
              Result::Installed);
    EXPECT_EQ(store.read(QStringLiteral("ComPort"), {}), QStringLiteral("Com3"));
    EXPECT_EQ(state.settings.ComPortNumber, 3);
    // Reading stops on the port it ran on and resumes on the chosen one.
    EXPECT_EQ(library.calls.mid(0, 4),
              (QStringList{QStringLiteral("I_CloseCom 7"), QStringLiteral("I_OpenCom 3 9600"),
                           QStringLiteral("I_KillProgram"), QStringLiteral("I_CloseCom 3")}));
    EXPECT_TRUE(library.calls.contains(QStringLiteral("IO_Open 3 38400")));
    EXPECT_TRUE(library.written.contains("new image"));
    EXPECT_EQ(library.calls.last(), QStringLiteral("VORLAK_Sleep 1000"));
}

TEST_F(ProgramInstallerTest, UpperCaseNamesFindTheirHeader)
{
    writeTestFile(path(QStringLiteral("programs/PROG.BIN")), "upper image");
    writeTestFile(path(QStringLiteral("programs/PROG.HEA")), "UPPERHDR");
    EXPECT_EQ(
        installer.Command1_Click({path(QStringLiteral("programs/PROG.BIN")), false, {}}, protocol),
        Result::Installed);
    EXPECT_EQ(offlineContent(), (QStringList{QStringLiteral("PROG.bin=upper image"),
                                             QStringLiteral("PROG.hea=UPPERHDR")}));
}
