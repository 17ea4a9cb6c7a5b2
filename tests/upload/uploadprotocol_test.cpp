#include "upload/uploadprotocol.h"
#include "uploadtestsupport.h"

namespace {

using Outcome = UploadProtocol::Outcome;

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (const int value : values) {
        out.append(static_cast<char>(value));
    }
    return out;
}

class UploadProtocolTest : public UploadTest
{
protected:
    [[nodiscard]] QString base() const { return path(QStringLiteral("prog")); }

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
        {"rotation reaches 0x8000", bytes({0}) + QByteArray(15, '\xFF'), bytes({1, 0, 0, 0x80})},
        {"0x8000 rotates to 0x0001", bytes({0}) + QByteArray(16, '\xFF'), bytes({1, 0, 1, 0})},
        {"sums wrap at 16 bits", QByteArray(300, '\xFE'), bytes({0xD4, 0x2A, 0x10, 0x5F})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        library.written.clear();
        protocol.resetChecksums();
        for (const char byte : c.block) {
            protocol.addToChecksums(static_cast<unsigned char>(byte));
        }
        protocol.sendChecksums();
        EXPECT_EQ(library.written.toHex(' '), c.sent.toHex(' '));
    }
}

TEST_F(UploadProtocolTest, OneAttemptPutsFiveWritesOnTheWire)
{
    const struct
    {
        const char* name;
        QByteArray headerFile;
        QByteArray sentHeader; ///< with its checksums
    } cases[] = {
        {"short header padded with spaces", "HDR", "HDR     " + bytes({0xDA, 0x01, 0x1F, 0x98})},
        {"empty header file", {}, "        " + bytes({0x5C, 0x01, 0xDF, 0x74})},
        {"only the first 8 bytes", "HEADER1234", "HEADER12" + bytes({0x68, 0x02, 0xA3, 0x9A})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeTestFile(path(QStringLiteral("prog.hea")), c.headerFile);
        library.written.clear();
        library.writeSizes.clear();
        library.calls.clear();
        library.replies = {"OK\r\n"};
        ASSERT_EQ(protocol.sendProgram(base()), Outcome::Sent);
        EXPECT_EQ(library.written.toHex(' '),
                  ("S" + c.sentHeader + "abc" + bytes({0x29, 0x01, 0xB2, 0x02})).toHex(' '));
        EXPECT_EQ(library.writeSizes, QStringLiteral("1 8 4 3 4 "));
        library.incoming.clear();
    }
    // The whole exchange, from stopping the terminal's program to reading again.
    EXPECT_EQ(library.calls, list("I_CheckTerminal|I_KillProgram|I_CloseCom 7|VORLAK_Sleep 1000|"
                                  "IO_Open 7 38400|"
                                  "IO_Read 7 1 1|IO_Write 7 1|IO_Write 7 8|IO_Write 7 4|"
                                  "IO_Write 7 3|IO_Write 7 4|IO_Read 7 1 50|IO_Read 7 1 50|"
                                  "IO_Read 7 1 50|IO_Close 7|I_OpenCom 7 9600|VORLAK_Sleep 1000"));
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_EQ(dialogs.busyDepth, 0);
    EXPECT_GT(dialogs.busyMaxDepth, 0);
}

TEST_F(UploadProtocolTest, ALargeImageGoesOutInPiecesWithTheProgressOfEachAttempt)
{
    QByteArray image(5000, '\0');
    for (int i = 0; i < image.size(); ++i) {
        image[i] = static_cast<char>(i * 7);
    }
    writeTestFile(path(QStringLiteral("prog.bin")), image);
    library.writesPerAttempt = 7;
    library.replies = {"ERR\r\n", "OK\r\n"};
    ASSERT_EQ(protocol.sendProgram(base()), Outcome::Sent);
    // Two attempts of 1 + 8 + 4 + 5000 + 4 bytes; the image in writes of 2048 at most.
    EXPECT_EQ(library.writeSizes, QStringLiteral("1 8 4 2048 2048 904 4 1 8 4 2048 2048 904 4 "));
    EXPECT_EQ(library.written.mid(13, 5000), image);
    const QStringList attempt = list("0/5017 #1|1/5017 #1|9/5017 #1|13/5017 #1|2061/5017 #1|"
                                     "4109/5017 #1|5013/5017 #1|5017/5017 #1");
    EXPECT_EQ(progress.progress, attempt + QStringList(attempt).replaceInStrings(
                                               QStringLiteral("#1"), QStringLiteral("#2")));
    // The panel is cleared at the end, which hides the progress too.
    EXPECT_EQ(progress.texts.last(), QString());
}

TEST_F(UploadProtocolTest, TheReplyWait)
{
    const QByteArray chatter(5000, 'x');
    const struct
    {
        const char* name;
        QByteArray stale; ///< waiting on the line before the first attempt
        std::deque<QByteArray> replies;
        Outcome outcome;
        int attempts;
        std::int64_t waitedMs;
        bool damaged = false; ///< the failure message says an answer came damaged
    } cases[] = {
        {"OK and its line end end the wait at once", {}, {"OK\r\n"}, Outcome::Sent, 1, 0},
        {"OK whose line end was lost ends after one wait", {}, {"OK"}, Outcome::Sent, 1, kWait},
        {"line ends before OK", {}, {"\r\nOK\r\n"}, Outcome::Sent, 1, 0},
        {"a refusal costs no wait, then OK", {}, {"ERR\r\n", "OK\r\n"}, Outcome::Sent, 2, 0},
        {"a damaged OK is sent again", {}, {"0K\r\n", "OK\r\n"}, Outcome::Sent, 2, 0},
        {"OK amid damage is no confirmation", {}, {"xOK\r\n", "OK\r\n"}, Outcome::Sent, 2, 0},
        {"OK with a damaged line end", {}, {"OK\x0b\n", "OK\r\n"}, Outcome::Sent, 2, 0},
        {"a reply cut short", {}, {"O", "OK\r\n"}, Outcome::Sent, 2, kWait},
        {"a silent terminal", {}, {}, Outcome::NoAnswer, 3, 3 * kWait},
        {"refused three times", {}, {"ERR\r\n", "ERR\r\n", "ERR\r\n"}, Outcome::NoAnswer, 3, 0},
        {"damaged three times", {}, {"0K\r\n", "O\r\n", "K\r\n"}, Outcome::NoAnswer, 3, 0, true},
        {"lower case is no confirmation",
         {},
         {"ok\r\n", "ok\r\n", "ok\r\n"},
         Outcome::NoAnswer,
         3,
         0,
         true},
        {"bytes that never end a line stop at a bound",
         {},
         {chatter, chatter, chatter},
         Outcome::NoAnswer,
         3,
         0,
         true},
        {"input from before the attempt is no confirmation",
         "OK\r\n",
         {},
         Outcome::NoAnswer,
         3,
         3 * kWait},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        library.calls.clear();
        library.incoming = c.stale;
        library.waitedMs = 0;
        library.replies = c.replies;
        dialogs.shown.clear();
        progress.texts.clear();
        EXPECT_EQ(protocol.sendProgram(base()), c.outcome);
        EXPECT_EQ(library.waitedMs, c.waitedMs);
        EXPECT_EQ(library.calls.count(QStringLiteral("IO_Open 7 38400")), c.attempts);
        EXPECT_LE(library.calls.count(QStringLiteral("IO_Read 7 1 50")),
                  3 * (UploadProtocol::kMaxReplyBytes + 1));
        QStringList shown;
        for (int attempt = 1; attempt <= c.attempts; ++attempt) {
            shown.append(QStringLiteral("Sending...(%1)").arg(attempt));
        }
        EXPECT_EQ(progress.texts, shown << QString());
        if (c.outcome == Outcome::Sent) {
            EXPECT_EQ(dialogs.messages(), QStringList());
        } else {
            // The string table's text first, then what it means for the terminal.
            ASSERT_EQ(dialogs.messages().size(), 1);
            const QString message = dialogs.messages().front();
            EXPECT_TRUE(message.startsWith(QStringLiteral("Communication Error\n\nThe terminal "
                                                          "did not confirm the upload in 3 "
                                                          "attempts.")))
                << message.toStdString();
            EXPECT_TRUE(message.contains(QStringLiteral("program has been stopped")));
            EXPECT_TRUE(
                message.contains(QDir::toNativeSeparators(base() + QStringLiteral(".bin"))));
            EXPECT_EQ(message.contains(QStringLiteral("arrived damaged")), c.damaged);
        }
        EXPECT_TRUE(readingResumed());
    }
}

TEST_F(UploadProtocolTest, ABadProgramFileStopsBeforeTheTerminalIsTouched)
{
    const struct
    {
        const char* name;
        const char* file;
        QByteArray content; ///< "-" removes the file, "/" puts a folder in its place
    } cases[] = {
        {"header missing", "prog.hea", "-"},
        {"image missing", "prog.bin", "-"},
        {"image empty", "prog.bin", {}},
        {"image is a folder", "prog.bin", "/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = path(QString::fromLatin1(c.file));
        QDir(file).removeRecursively();
        writeTestFile(path(QStringLiteral("prog.hea")), "HDR");
        writeTestFile(path(QStringLiteral("prog.bin")), "abc");
        if (c.content == "-" || c.content == "/") {
            ASSERT_TRUE(QFile::remove(file));
        } else {
            writeTestFile(file, c.content);
        }
        if (c.content == "/") {
            ASSERT_TRUE(QDir().mkdir(file));
        }
        dialogs.shown.clear();
        EXPECT_EQ(protocol.sendProgram(base()), Outcome::FileError);
        ASSERT_EQ(dialogs.messages().size(), 1);
        EXPECT_TRUE(dialogs.messages().front().startsWith(QStringLiteral("Error opening file :") +
                                                          file + QLatin1Char('\n')))
            << dialogs.messages().front().toStdString();
        // Nothing sent, the terminal's program not stopped, reading never interrupted.
        EXPECT_EQ(library.calls, QStringList());
    }
}

TEST_F(UploadProtocolTest, AnOpenResultOfZeroOrLessIsAPortFailure)
{
    for (const std::int32_t result : {0, -1}) {
        SCOPED_TRACE(result);
        library.calls.clear();
        library.script(QStringLiteral("IO_Open"), {result});
        dialogs.shown.clear();
        EXPECT_EQ(protocol.sendProgram(base()), Outcome::PortError);
        // The terminal's program was stopped before the port failed: the user is told.
        ASSERT_EQ(dialogs.messages().size(), 1);
        EXPECT_TRUE(dialogs.messages().front().startsWith(QStringLiteral(
            "Error opening serial port7\n\nThe terminal's own program has been stopped: ")));
        EXPECT_TRUE(dialogs.messages().front().contains(QStringLiteral("has been stopped")));
        EXPECT_EQ(library.calls.count(QStringLiteral("IO_Open 7 38400")), 1);
        EXPECT_EQ(library.writeSizes, QString());
        EXPECT_TRUE(readingResumed());
    }
}

TEST_F(UploadProtocolTest, TheTerminalIsLookedForOnTheLineBeforeItsProgramIsStopped)
{
    const struct
    {
        const char* name;
        bool onCradleFlag; ///< as the acquisition cycle left it
        std::initializer_list<std::int32_t> checks;
        std::int32_t kill;
        QStringList before;  ///< messages before the one about the refusals
        const char* stopped; ///< what that one says of the terminal's program
    } cases[] = {
        // The upload dialog at start-up: the port was shut, no tick has run yet.
        {"found though no tick saw it", false, {1}, 0, {}, "has been stopped"},
        {"found on the second check", false, {0, 1}, 0, {}, "has been stopped"},
        {"a flag from another port is no terminal",
         true,
         {0, 0, 0},
         0,
         list("Please place the terminal on the craddle"),
         "has been stopped"},
        {"not found, and the stop fails",
         false,
         {0, 0, 0},
         -1,
         list("Please place the terminal on the craddle|Communication Error"),
         "may have been stopped"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        state.TerminalOnCradle = c.onCradleFlag;
        library.calls.clear();
        library.script(QStringLiteral("I_CheckTerminal"), c.checks);
        library.script(QStringLiteral("I_KillProgram"), {c.kill});
        library.replies = {"ERR\r\n", "ERR\r\n", "ERR\r\n"};
        dialogs.shown.clear();
        // The upload goes on either way.
        EXPECT_EQ(protocol.sendProgram(base()), Outcome::NoAnswer);
        const QStringList shown = dialogs.messages();
        ASSERT_EQ(shown.size(), c.before.size() + 1);
        EXPECT_EQ(shown.mid(0, c.before.size()), c.before);
        EXPECT_TRUE(shown.last().contains(QLatin1String(c.stopped))) << shown.last().toStdString();
        EXPECT_EQ(library.calls.indexOf(QStringLiteral("I_KillProgram")),
                  static_cast<qsizetype>(c.checks.size()));
        library.incoming.clear();
    }
}
