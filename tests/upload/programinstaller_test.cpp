#include "upload/programinstaller.h"
#include "upload/uploadprotocol.h"
#include "uploadtestsupport.h"

namespace {

using Result = ProgramInstaller::Result;

class ProgramInstallerTest : public UploadTest
{
protected:
    void SetUp() override
    {
        UploadTest::SetUp();
        ASSERT_TRUE(store.write(QStringLiteral("AsciiDataFormat"), QStringLiteral("[Code]")));
        state.settings.BodyTemplate = QStringLiteral("[Code]\r\n");
        writeTestFile(offline(QStringLiteral("old.bin")), "old image");
        writeTestFile(offline(QStringLiteral("old.hea")), "OLDHEAD1");
    }

    [[nodiscard]] QString offline(const QString& name = {}) const
    {
        return path(QStringLiteral("offline/") + name);
    }
    [[nodiscard]] Result install(bool oldTerminal = false, const char* port = "Com3")
    {
        return installer.install(
            {path(QStringLiteral("prog.bin")), oldTerminal, QString::fromLatin1(port)}, protocol);
    }
    /// Every entry of the offline folder with its content, by name.
    [[nodiscard]] QString offlineContent() const
    {
        QStringList out;
        for (const QString& name : QDir(offline()).entryList(
                 QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name)) {
            out.append(name + QLatin1Char('=') + QString::fromLatin1(readTestFile(offline(name))));
        }
        return out.join(QLatin1Char('|'));
    }

    UploadProtocol protocol{library, state,    session,  store,  pump,
                            dialogs, language, progress, {kWait}};
    ProgramInstaller installer{state, store, session, dialogs, language, offline()};
};

const QString kOldProgram = QStringLiteral("old.bin=old image|old.hea=OLDHEAD1");

} // namespace

TEST_F(ProgramInstallerTest, NothingSelectedAsksForAChoiceAndTouchesNothing)
{
    EXPECT_EQ(installer.install({QString(), true, QStringLiteral("Com3")}, protocol),
              Result::NothingSelected);
    EXPECT_EQ(dialogs.messages(), list("Please select the program you want to install!"));
    EXPECT_EQ(library.calls, QStringList());
    EXPECT_EQ(store.read(QStringLiteral("ComPort"), {}), QStringLiteral("Com7"));
    EXPECT_EQ(offlineContent(), kOldProgram);
}

TEST_F(ProgramInstallerTest, AProgramThatCannotBeReadLeavesThePreviousOneInPlace)
{
    const struct
    {
        const char* name;
        const char* file;
        bool remove; ///< otherwise emptied
    } cases[] = {
        {"header missing beside the image", "prog.hea", true},
        {"image gone since the list was made", "prog.bin", true},
        {"image empty", "prog.bin", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeTestFile(path(QStringLiteral("prog.hea")), "HDR");
        writeTestFile(path(QStringLiteral("prog.bin")), "abc");
        const QString file = path(QString::fromLatin1(c.file));
        if (c.remove) {
            ASSERT_TRUE(QFile::remove(file));
        } else {
            writeTestFile(file, {});
        }
        dialogs.shown.clear();
        EXPECT_EQ(install(), Result::NotInstalled);
        ASSERT_EQ(dialogs.messages().size(), 1);
        EXPECT_TRUE(dialogs.messages().front().contains(file));
        EXPECT_EQ(offlineContent(), kOldProgram);
        EXPECT_EQ(library.calls, QStringList());
        EXPECT_EQ(state.settings.BodyTemplate, QStringLiteral("[Code]\r\n"));
    }
}

TEST_F(ProgramInstallerTest, ACopyThatFailsHalfwayPutsBackWhatWasThere)
{
    const struct
    {
        const char* name;
        bool oldTerminal;
        Result result;
        const char* message;
    } cases[] = {
        {"copy only", false, Result::NotInstalled, "The program was not installed: "},
        // The terminal runs the new program; only the folder is behind.
        {"after the terminal took it", true, Result::Installed,
         "The terminal took the program, but it was not put into the offline folder: "},
    };
    // The new header cannot replace a folder of its name, after the new image went in.
    writeTestFile(offline(QStringLiteral("prog.bin")), "older image of the same name");
    ASSERT_TRUE(QDir().mkpath(offline(QStringLiteral("prog.hea"))));
    const QString before = offlineContent();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        dialogs.shown.clear();
        library.replies = {"OK\r\n"};
        EXPECT_EQ(install(c.oldTerminal, "Com7"), c.result);
        ASSERT_EQ(dialogs.messages().size(), 1);
        EXPECT_TRUE(dialogs.messages().front().startsWith(QLatin1String(c.message)));
        EXPECT_TRUE(dialogs.messages().front().contains(offline(QStringLiteral("prog.hea"))));
        EXPECT_EQ(offlineContent(), before);
        EXPECT_EQ(store.read(QStringLiteral("AsciiDataFormat"), {}), QStringLiteral("[Code]"));
    }
}

TEST_F(ProgramInstallerTest, AFailedUploadLeavesTheOfflineFolderAsItWasAndSaysWhereTheTerminalIs)
{
    const struct
    {
        const char* name;
        std::deque<QByteArray> replies;
        std::int32_t portOpen;
        const char* message;
    } cases[] = {
        {"three refusals", {"ERR\r\n", "ERR\r\n", "ERR\r\n"}, 1, "Communication Error\n\n"},
        {"the port cannot be opened for the upload", {}, -1, "Error opening serial port3\n\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        dialogs.shown.clear();
        library.calls.clear();
        library.replies = c.replies;
        library.script(QStringLiteral("IO_Open"), {c.portOpen});
        EXPECT_EQ(install(true, "Com3"), Result::NotInstalled);
        ASSERT_EQ(dialogs.messages().size(), 1);
        const QString message = dialogs.messages().front();
        EXPECT_TRUE(message.startsWith(QLatin1String(c.message))) << message.toStdString();
        EXPECT_TRUE(message.contains(QStringLiteral("program has been stopped")));
        EXPECT_TRUE(message.contains(QStringLiteral("install the program again")));
        // The terminal's program was stopped, yet nothing of the new one is in place.
        EXPECT_TRUE(library.calls.contains(QStringLiteral("I_KillProgram")));
        EXPECT_EQ(offlineContent(), kOldProgram);
        EXPECT_EQ(store.read(QStringLiteral("AsciiDataFormat"), {}), QStringLiteral("[Code]"));
        EXPECT_EQ(state.settings.BodyTemplate, QStringLiteral("[Code]\r\n"));
        EXPECT_EQ(library.calls.last(), QStringLiteral("I_OpenCom 3 9600"));
    }
}

TEST_F(ProgramInstallerTest, InstallReplacesThePreviousProgramAndSendsNothing)
{
    writeTestFile(offline(QStringLiteral(".hidden")), "x");
    EXPECT_EQ(install(), Result::Installed);
    EXPECT_EQ(offlineContent(), QStringLiteral("prog.bin=abc|prog.hea=HDR"));
    // A new program may lay out its records differently: the template is read again.
    EXPECT_EQ(store.read(QStringLiteral("AsciiDataFormat"), QStringLiteral("<none>")), QString());
    EXPECT_TRUE(state.settings.BodyTemplate.isEmpty());
    EXPECT_EQ(store.read(QStringLiteral("ComPort"), {}), QStringLiteral("Com7"));
    EXPECT_EQ(library.calls, list("I_CloseCom 7|I_OpenCom 7 9600"));
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(ProgramInstallerTest, OldTerminalsGetTheProgramOnThePortChosen)
{
    library.replies = {"OK\r\n"};
    EXPECT_EQ(install(true, "Com3"), Result::Installed);
    EXPECT_EQ(store.read(QStringLiteral("ComPort"), {}), QStringLiteral("Com3"));
    // Reading stops on the port it ran on and resumes on the chosen one.
    EXPECT_EQ(library.calls.mid(0, 6), list("I_CloseCom 7|I_OpenCom 3 9600|I_CheckTerminal|"
                                            "I_KillProgram|I_CloseCom 3|VORLAK_Sleep 1000"));
    // The bytes sent are those put into the offline folder once the terminal took them.
    EXPECT_TRUE(library.written.contains("HDR     "));
    EXPECT_TRUE(library.written.contains("abc"));
    EXPECT_EQ(offlineContent(), QStringLiteral("prog.bin=abc|prog.hea=HDR"));
    EXPECT_TRUE(state.settings.BodyTemplate.isEmpty());
    EXPECT_TRUE(library.calls.contains(QStringLiteral("IO_Open 3 38400")));
    EXPECT_EQ(library.calls.last(), QStringLiteral("VORLAK_Sleep 1000"));
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(ProgramInstallerTest, UpperCaseNamesFindTheirHeader)
{
    writeTestFile(path(QStringLiteral("PROG.BIN")), "upper image");
    writeTestFile(path(QStringLiteral("PROG.HEA")), "UPPERHDR");
    EXPECT_EQ(installer.install({path(QStringLiteral("PROG.BIN")), false, {}}, protocol),
              Result::Installed);
    EXPECT_EQ(offlineContent(), QStringLiteral("PROG.bin=upper image|PROG.hea=UPPERHDR"));
}
