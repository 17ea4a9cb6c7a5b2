// The upload dialog installing a program and sending it through the real libvorlak to a real
// qel-sim, as a user with an older terminal does it.
#include "link/vorlaklibrary.h"
#include "simterminal.h"
#include "upload/form4.h"
#include "upload/programupload.h"
#include "upload/uploadtestsupport.h"

#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>
#include <memory>

namespace {

constexpr int kPort = 7;
const QByteArray kHeader = "QELPRG78";

/// 100 KB holding every byte value, the frame start and "S" among them.
QByteArray image()
{
    QByteArray bytes(100 * 1024, '\0');
    std::uint32_t seed = 12345;
    for (char& byte : bytes) {
        seed = seed * 1103515245U + 12345U;
        byte = static_cast<char>(seed >> 24U);
    }
    return bytes;
}

class UploadEndToEndTest : public TempDirTest
{
protected:
    class Host : public UploadHost
    {
    public:
        void setMainWindowVisible(bool /*visible*/) override {}
    };

    /// How the program stands when the user opens the upload dialog.
    enum class Opened {
        FromTheMenu, ///< reading, and the acquisition cycle has seen the terminal
        AtStartUp,   ///< no program installed yet: the port shut, the terminal never asked for
    };

    void start(const QStringList& options, Opened opened = Opened::FromTheMenu)
    {
        sim = std::make_unique<SimTerminal>(path(QStringLiteral("sim")), kPort);
        QString error;
        ASSERT_TRUE(sim->start(R"({"id": "T1", "documents": []})", options, &error))
            << error.toStdString();
        ASSERT_TRUE(store.write(QStringLiteral("Language"), QStringLiteral("English")));
        ASSERT_TRUE(store.write(QStringLiteral("ComPort"), QStringLiteral("Com7")));
        state.settings.ComPortNumber = kPort;
        state.settings.BaudRate9600 = 9600;
        state.TerminalId = QByteArray(8, ' ');
        if (opened == Opened::FromTheMenu) {
            state.TerminalOnCradle = true;
            session.startReceiving();
            ASSERT_TRUE(state.PortOpen) << dialogs.messages().join(QLatin1Char('\n')).toStdString();
        }
        writeTestFile(path(QStringLiteral("programs/prog.hea")), kHeader);
        writeTestFile(path(QStringLiteral("programs/prog.bin")), image());
    }

    /// Install with "Version <7.8" ticked, as the user clicks it. The dialog closes once the
    /// terminal took the program and stays open for another try when it did not.
    void installAndSend(bool taken = true)
    {
        // The terminal answers half a second after the last byte. The program's own reply wait
        // is kept: a shorter one gives up on a simulator held off the processor, and then the
        // reading session reopens while the terminal is still taking the last attempt.
        ProgramUpload upload(library, state, session, store, pump, dialogs, language,
                             ProgramSources::programFolder(path(QStringLiteral("programs"))),
                             path(QStringLiteral("offline")), UploadTiming{});
        Form4 dialog(host, upload, language);
        dialog.show();
        auto* list = dialog.findChild<QListWidget*>(QStringLiteral("List1"));
        ASSERT_EQ(list->count(), 1);
        list->item(0)->setSelected(true);
        dialog.findChild<QCheckBox*>(QStringLiteral("Check1"))->click();
        dialog.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
        EXPECT_EQ(dialog.isVisible(), !taken);
    }

    void TearDown() override { session.stopReceiving(); }

    /// The reading session is open again and reaches the terminal.
    void expectReadingResumed()
    {
        EXPECT_EQ(window.panel2, QStringLiteral("Port Open ( 7)"));
        EXPECT_TRUE(SimTerminal::answersCheck(library));
    }

    std::unique_ptr<SimTerminal> sim;
    Host host;
    AppState state;
    MemorySettingsStore store;
    FakeWindowControls window;
    CountingEventPump pump;
    RecordingDialogs dialogs;
    UiLanguage language;
    VorlakLibrary library{dialogs, {QString::fromLocal8Bit(qgetenv("KOLBRIN_BIN_DIR")), {}, false}};
    ReadingSession session{library, state, window, pump, dialogs, language};
};

} // namespace

TEST_F(UploadEndToEndTest, AProgramArrivesIntact)
{
    start({});
    installAndSend();
    EXPECT_EQ(dialogs.messages(), QStringList());
    EXPECT_EQ(sim->eventCount(QStringLiteral("UPLOAD OK 102400")), 1);
    EXPECT_TRUE(readTestFile(sim->statePath(QStringLiteral("upload/program.bin"))) == image());
    EXPECT_EQ(readTestFile(sim->statePath(QStringLiteral("upload/program.hea"))), kHeader);
    EXPECT_TRUE(readTestFile(path(QStringLiteral("offline/prog.bin"))) == image());
    expectReadingResumed();
}

TEST_F(UploadEndToEndTest, ARefusedUploadSucceedsOnTheSecondAttempt)
{
    start({QStringLiteral("--upload-fail"), QStringLiteral("1")});
    installAndSend();
    EXPECT_EQ(dialogs.messages(), QStringList());
    EXPECT_EQ(sim->eventCount(QStringLiteral("UPLOAD REFUSED 102400")), 1);
    EXPECT_EQ(sim->eventCount(QStringLiteral("UPLOAD OK 102400")), 1);
    EXPECT_TRUE(readTestFile(sim->statePath(QStringLiteral("upload/program.bin"))) == image());
    expectReadingResumed();
}

TEST_F(UploadEndToEndTest, ThreeRefusalsLeaveTheOfflineFolderAsItWasAndSayTheTerminalIsStopped)
{
    start({QStringLiteral("--upload-fail"), QStringLiteral("3")});
    writeTestFile(path(QStringLiteral("offline/old.bin")), "old image");
    writeTestFile(path(QStringLiteral("offline/old.hea")), "OLDHEAD1");
    installAndSend(/*taken=*/false);
    ASSERT_EQ(dialogs.messages().size(), 1);
    const QString message = dialogs.messages().front();
    EXPECT_TRUE(message.startsWith(QStringLiteral("Communication Error\n\n")))
        << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("The terminal's own program has been stopped")));
    EXPECT_TRUE(message.contains(QStringLiteral("install the program again")));
    EXPECT_EQ(sim->eventCount(QStringLiteral("UPLOAD REFUSED 102400")), 3);
    EXPECT_EQ(sim->eventCount(QStringLiteral("UPLOAD OK 102400")), 0);
    EXPECT_EQ(QDir(path(QStringLiteral("offline"))).entryList(QDir::Files | QDir::Hidden),
              QStringList({QStringLiteral("old.bin"), QStringLiteral("old.hea")}));
    EXPECT_EQ(readTestFile(path(QStringLiteral("offline/old.bin"))), QByteArray("old image"));
    EXPECT_EQ(readTestFile(path(QStringLiteral("offline/old.hea"))), QByteArray("OLDHEAD1"));
    expectReadingResumed();
}

TEST_F(UploadEndToEndTest, AtStartUpTheTerminalOnTheCradleIsFoundWithoutAWordToTheUser)
{
    start({}, Opened::AtStartUp);
    installAndSend();
    EXPECT_EQ(dialogs.messages(), QStringList());
    EXPECT_EQ(sim->eventCount(QStringLiteral("UPLOAD OK 102400")), 1);
    EXPECT_TRUE(readTestFile(path(QStringLiteral("offline/prog.bin"))) == image());
    expectReadingResumed();
}
