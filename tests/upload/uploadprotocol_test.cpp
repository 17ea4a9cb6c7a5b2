#include "acquisition/readingsession.h"
#include "common/appstate.h"
#include "config/memorysettingsstore.h"
#include "fakewindow.h"
#include "i18n/uilanguage.h"
#include "recordingdialogs.h"
#include "tempdir.h"
#include "upload/uploadprotocol.h"
#include "uploadtestsupport.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

using Outcome = UploadProtocol::Outcome;
constexpr std::int32_t kWait = 50;

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (const int value : values) {
        out.append(static_cast<char>(value));
    }
    return out;
}

class UploadProtocolTest : public TempDirTest
{
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        language.ApplyLanguage(QStringLiteral("English"), false, false, false);
        ASSERT_TRUE(store.write(QStringLiteral("ComPort"), QStringLiteral("Com7")));
        state.settings.ComPortNumber = 7;
        state.settings.BaudRate9600 = 9600;
        state.TerminalOnCradle = true;
        session.receivingdata_ini();
        ASSERT_TRUE(state.PortOpen);
        library.calls.clear();
        writeTestFile(path(QStringLiteral("prog.hea")), "HDR");
        writeTestFile(path(QStringLiteral("prog.bin")), "abc");
    }

    [[nodiscard]] QString base() const { return path(QStringLiteral("prog")); }
    [[nodiscard]] int count(const QString& call) const
    {
        return static_cast<int>(library.calls.count(call));
    }
    /// The reading session is open again: its last word was an open on the reading port.
    [[nodiscard]] bool readingResumed() const
    {
        const QStringList opens = library.calls.filter(QStringLiteral("Com "));
        return state.PortOpen && !opens.isEmpty() &&
               opens.last() == QStringLiteral("I_OpenCom 7 9600");
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
    UploadProtocol protocol{library, state,    session,  store,  pump,
                            dialogs, language, progress, {kWait}};
};

} // namespace

TEST_F(UploadProtocolTest, ChecksumsFollowTheTerminalsRule)
{
    const struct
    {
        const char* name;
        QByteArray block;
        QByteArray sent;
    } cases[] = {
        {"three letters", "abc", bytes({0x29, 0x01, 0xB2, 0x02})},
        {"empty block", {}, bytes({0, 0, 0, 0})},
        {"255 adds nothing but rotates", bytes({0x00, 0xFF}), bytes({0x01, 0x00, 0x02, 0x00})},
        {"rotation reaches 0x8000", bytes({0x00}) + QByteArray(15, '\xFF'),
         bytes({0x01, 0x00, 0x00, 0x80})},
        {"0x8000 rotates to 0x0001", bytes({0x00}) + QByteArray(16, '\xFF'),
         bytes({0x01, 0x00, 0x01, 0x00})},
        {"sums wrap at 16 bits", QByteArray(300, '\xFE'), bytes({0xD4, 0x2A, 0x10, 0x5F})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        library.written.clear();
        protocol.ResetChecksums();
        for (const char byte : c.block) {
            protocol.Do_Checksum(static_cast<unsigned char>(byte));
        }
        protocol.SendChecksums();
        EXPECT_EQ(library.written.toHex(' '), c.sent.toHex(' '));
    }
}

TEST_F(UploadProtocolTest, OneAttemptPutsFiveWritesOnTheWire)
{
    const struct
    {
        const char* name;
        QByteArray headerFile;
        QByteArray header;
        QByteArray headerChecksums;
    } cases[] = {
        {"short header padded with spaces", "HDR", "HDR     ", bytes({0xDA, 0x01, 0x1F, 0x98})},
        {"empty header file", {}, "        ", bytes({0x5C, 0x01, 0xDF, 0x74})},
        {"only the first 8 bytes", "HEADER1234", "HEADER12", bytes({0x68, 0x02, 0xA3, 0x9A})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeTestFile(path(QStringLiteral("prog.hea")), c.headerFile);
        library.written.clear();
        library.calls.clear();
        progress.texts.clear();
        library.incoming.clear();
        library.replies = {"OK\r\n"};
        ASSERT_EQ(protocol.Send_program(base()), Outcome::Sent);
        EXPECT_EQ(library.written.toHex(' '), (QByteArray("S") + c.header + c.headerChecksums +
                                               "abc" + bytes({0x29, 0x01, 0xB2, 0x02}))
                                                  .toHex(' '));
        EXPECT_EQ(library.calls.filter(QStringLiteral("IO_Write")),
                  (QStringList{QStringLiteral("IO_Write 7 1"), QStringLiteral("IO_Write 7 8"),
                               QStringLiteral("IO_Write 7 4"), QStringLiteral("IO_Write 7 3"),
                               QStringLiteral("IO_Write 7 4")}));
    }
    // The whole exchange of the last one, from stopping the terminal's program to reading again.
    EXPECT_EQ(
        library.calls,
        (QStringList{QStringLiteral("I_KillProgram"), QStringLiteral("I_CloseCom 7"),
                     QStringLiteral("VORLAK_Sleep 1000"), QStringLiteral("IO_Open 7 38400"),
                     QStringLiteral("IO_Read 7 1 1"), QStringLiteral("IO_Write 7 1"),
                     QStringLiteral("IO_Write 7 8"), QStringLiteral("IO_Write 7 4"),
                     QStringLiteral("IO_Write 7 3"), QStringLiteral("IO_Write 7 4"),
                     QStringLiteral("IO_Read 7 1 50"), QStringLiteral("IO_Read 7 1 50"),
                     QStringLiteral("IO_Read 7 1 50"), QStringLiteral("IO_Close 7"),
                     QStringLiteral("I_OpenCom 7 9600"), QStringLiteral("VORLAK_Sleep 1000")}));
    EXPECT_EQ(progress.texts, (QStringList{QStringLiteral("Sending...(1)"), QString()}));
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_EQ(dialogs.busyDepth, 0);
    EXPECT_GT(dialogs.busyMaxDepth, 0);
}

TEST_F(UploadProtocolTest, TheReplyWait)
{
    const struct
    {
        const char* name;
        QByteArray reply; ///< given to every attempt
        Outcome outcome;
        std::int64_t waitedMs;
        int attempts;
    } cases[] = {
        {"OK and a byte end the wait at once", "OK\r\n", Outcome::Sent, 0, 1},
        {"OK alone ends after one wait limit", "OK", Outcome::Sent, kWait, 1},
        {"OK after other bytes", "\r\nOK\r\n", Outcome::Sent, 0, 1},
        {"a silent terminal", {}, Outcome::NoAnswer, 3 * kWait, 3},
        {"a refusal", "ERR\r\n", Outcome::NoAnswer, 3 * kWait, 3},
        {"lower case is no confirmation", "ok\r\n", Outcome::NoAnswer, 3 * kWait, 3},
        {"bytes that never hold OK stop at a bound", QByteArray(5000, 'x'), Outcome::NoAnswer, 0,
         3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        library.calls.clear();
        library.incoming.clear();
        library.waitedMs = 0;
        library.replies = {c.reply, c.reply, c.reply};
        dialogs.shown.clear();
        EXPECT_EQ(protocol.Send_program(base()), c.outcome);
        EXPECT_EQ(library.waitedMs, c.waitedMs);
        EXPECT_EQ(count(QStringLiteral("IO_Open 7 38400")), c.attempts);
        EXPECT_LE(count(QStringLiteral("IO_Read 7 1 50")),
                  3 * (UploadProtocol::kMaxReplyBytes + 1));
        EXPECT_EQ(dialogs.messages(), c.outcome == Outcome::Sent
                                          ? QStringList()
                                          : QStringList{QStringLiteral("Communication Error")});
        EXPECT_TRUE(readingResumed());
    }
}

TEST_F(UploadProtocolTest, InputWaitingBeforeTheAttemptIsNoConfirmation)
{
    library.incoming = "OK\r\n";
    EXPECT_EQ(protocol.Send_program(base()), Outcome::NoAnswer);
    EXPECT_EQ(count(QStringLiteral("IO_Read 7 1 1")), 5 + 2);
}

TEST_F(UploadProtocolTest, ARefusedAttemptIsSentAgainInFull)
{
    library.replies = {"ERR\r\n", "OK\r\n"};
    EXPECT_EQ(protocol.Send_program(base()), Outcome::Sent);
    const QByteArray attempt = library.written.left(library.written.size() / 2);
    EXPECT_EQ(library.written, attempt + attempt);
    EXPECT_EQ(count(QStringLiteral("IO_Close 7")), 2);
    EXPECT_EQ(progress.texts, (QStringList{QStringLiteral("Sending...(1)"),
                                           QStringLiteral("Sending...(2)"), QString()}));
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_TRUE(readingResumed());
}

TEST_F(UploadProtocolTest, ABadProgramFileStopsBeforeTheTerminalIsTouched)
{
    const struct
    {
        const char* name;
        const char* file;
        bool remove; ///< otherwise the file is made empty or a folder
        bool makeFolder;
    } cases[] = {
        {"header missing", "prog.hea", true, false},
        {"image missing", "prog.bin", true, false},
        {"image empty", "prog.bin", false, false},
        {"image is a folder", "prog.bin", true, true},
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
        if (c.makeFolder) {
            ASSERT_TRUE(QDir().mkdir(file));
        }
        dialogs.shown.clear();
        EXPECT_EQ(protocol.Send_program(base()), Outcome::FileError);
        ASSERT_EQ(dialogs.messages().size(), 1);
        EXPECT_TRUE(dialogs.messages().front().startsWith(QStringLiteral("Error opening file :") +
                                                          file + QLatin1Char('\n')))
            << dialogs.messages().front().toStdString();
        // Nothing sent, the terminal's program not stopped, reading never interrupted.
        EXPECT_TRUE(library.calls.isEmpty()) << library.calls.join(QLatin1Char(',')).toStdString();
        EXPECT_TRUE(state.PortOpen);
        if (c.makeFolder) {
            ASSERT_TRUE(QDir().rmdir(file));
        }
    }
}

TEST_F(UploadProtocolTest, AnOpenResultOfZeroOrLessIsAPortFailure)
{
    for (const std::int32_t result : {0, -1}) {
        SCOPED_TRACE(result);
        library.calls.clear();
        library.script(QStringLiteral("IO_Open"), {result});
        dialogs.shown.clear();
        EXPECT_EQ(protocol.Send_program(base()), Outcome::PortError);
        EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral("Error opening serial port7")});
        EXPECT_EQ(count(QStringLiteral("IO_Open 7 38400")), 1);
        EXPECT_TRUE(library.calls.filter(QStringLiteral("IO_Write")).isEmpty());
        EXPECT_TRUE(readingResumed());
    }
}

TEST_F(UploadProtocolTest, TerminalProblemsBeforeSendingAreToldAndTheUploadGoesOn)
{
    state.TerminalOnCradle = false;
    library.script(QStringLiteral("I_KillProgram"), {-1});
    library.replies = {"OK\r\n"};
    EXPECT_EQ(protocol.Send_program(base()), Outcome::Sent);
    EXPECT_EQ(dialogs.messages(),
              (QStringList{QStringLiteral("Please place the terminal on the craddle"),
                           QStringLiteral("Communication Error")}));
}
