// qel-sim's program receiver, sent to as the program sends a terminal program: I_KillProgram on
// the cradle protocol, then the port opened raw at 38400 and the upload written with IO_Write.
#include "protocol/uploadchecksum.h"
#include "rawport.h"
#include "simfixture.h"

#include <algorithm>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using vorlak::protocol::uploadChecksum;

namespace {

constexpr std::int32_t kUploadSpeed = 38400;
constexpr std::string_view kProgramHeader = "QELPRG78";

std::string checksumBytes(std::string_view block)
{
    const auto bytes = uploadChecksum(block).wireBytes();
    return {bytes.begin(), bytes.end()};
}

/// An image holding every byte value, the frame start and "S" among them.
std::string image(std::size_t size)
{
    std::string bytes(size, '\0');
    std::uint32_t state = 12345;
    for (char& c : bytes) {
        state = state * 1103515245U + 12345U;
        c = static_cast<char>(state >> 24U);
    }
    return bytes;
}

/// Equal bytes; otherwise where they part, instead of a print of two large images.
::testing::AssertionResult sameBytes(const std::string& got, const std::string& expected)
{
    if (got == expected) {
        return ::testing::AssertionSuccess();
    }
    const auto parted = std::mismatch(got.begin(), got.end(), expected.begin(), expected.end());
    return ::testing::AssertionFailure()
           << got.size() << " bytes instead of " << expected.size() << ", first difference at "
           << (parted.first - got.begin());
}

/// The five writes of one upload attempt.
std::vector<std::string> uploadWrites(std::string_view header, std::string_view image)
{
    const std::string head = "S" + std::string(header);
    return {"S", std::string(header), checksumBytes(head), std::string(image),
            checksumBytes(image)};
}

} // namespace

class ProgramUpload : public SimTest
{
protected:
    /// One attempt as the program makes it: the port opened raw at 38400, `writes` written in
    /// pieces of at most `piece` bytes, the reply read up to its line end, the port closed.
    /// Returns the reply and sets m_replyDelay to the time from the last write to the reply.
    std::string attempt(const std::vector<std::string>& writes,
                        std::size_t piece = std::string::npos)
    {
        I_CloseCom(kPort);
        EXPECT_GT(IO_Open(kPort, kUploadSpeed), 0);
        for (const std::string& bytes : writes) {
            for (std::size_t at = 0; at < bytes.size(); at += piece) {
                writeRaw(kPort, std::string_view(bytes).substr(at, piece));
            }
        }
        const auto written = Clock::now();
        // Ends with the line end; the limit only stops a terminal that never answers.
        const std::string reply = readUntil(kPort, "\r\n", 30s);
        m_replyDelay = Clock::now() - written;
        IO_Close(kPort);
        return reply;
    }

    [[nodiscard]] bool programKept() const
    {
        return std::filesystem::exists(m_dir.path() / "state" / "upload" / "program.bin") ||
               std::filesystem::exists(m_dir.path() / "state" / "upload" / "program.hea");
    }

    Clock::duration m_replyDelay{};
};

TEST_F(ProgramUpload, A100KBImageArrivesIntactAndTheTerminalAnswersTheProtocolAgain)
{
    start(TerminalFile::numbered(1, 1));
    const std::string program = image(100 * 1024);

    EXPECT_EQ(I_KillProgram(m_id.data()), 1);
    EXPECT_EQ(attempt(uploadWrites(kProgramHeader, program)), "OK\r\n");
    EXPECT_TRUE(sameBytes(stateFile("upload/program.bin"), program));
    EXPECT_EQ(stateFile("upload/program.hea"), kProgramHeader);
    // The end of the image is the line going quiet for half a second: never sooner; later only
    // by what a busy machine adds, far below what a terminal that waits for more would take.
    EXPECT_GE(m_replyDelay, 450ms);
    EXPECT_LT(m_replyDelay, 10s);

    // A sender writing small pieces makes no pause that ends the image early.
    const std::string second = image(100 * 1024 + 7).substr(7);
    EXPECT_EQ(attempt(uploadWrites("NEXT    ", second), 512), "OK\r\n");
    EXPECT_TRUE(sameBytes(stateFile("upload/program.bin"), second));
    EXPECT_EQ(stateFile("upload/program.hea"), "NEXT    ");

    ASSERT_EQ(I_OpenCom(kPort, kSpeed), 0);
    EXPECT_EQ(I_CheckTerminal(m_id.data()), 1);
    EXPECT_EQ(events(), (std::vector<std::string>{"I_KillProgram", "UPLOAD OK 102400",
                                                  "UPLOAD OK 102400", "I_CheckTerminal"}));
}

TEST_F(ProgramUpload, ADamagedUploadIsAnsweredErrAndNothingIsKept)
{
    start(TerminalFile::numbered(1, 1));
    const std::string program = image(4000);
    const auto damaged = [&](auto change) {
        auto writes = uploadWrites(kProgramHeader, program);
        change(writes);
        return writes;
    };
    const struct
    {
        const char* what;
        std::vector<std::string> writes;
    } cases[] = {
        {"header checksum", damaged([](auto& w) { w[2][1] ^= 0x01; })},
        {"image checksum", damaged([](auto& w) { w[4][3] ^= 0x40; })},
        {"image byte", damaged([](auto& w) { w[3][2000] ^= 0x10; })},
        {"image byte lost", damaged([](auto& w) { w[3].erase(100, 1); })},
        {"no image", damaged([](auto& w) { w[3].clear(); })},
        {"header cut short", {"S", "QELP"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(attempt(c.writes), "ERR\r\n");
    }
    EXPECT_FALSE(programKept());
    EXPECT_EQ(events(), std::vector<std::string>(std::size(cases), "UPLOAD BAD"));

    EXPECT_EQ(attempt(uploadWrites(kProgramHeader, program)), "OK\r\n")
        << "the next attempt is heard";
    EXPECT_TRUE(sameBytes(stateFile("upload/program.bin"), program));
}

TEST_F(ProgramUpload, UploadFailRefusesTheFirstAttemptsEvenWhenIntact)
{
    start(TerminalFile::numbered(1, 1), {"--upload-fail", "1"});
    const std::string program = image(3000);
    EXPECT_EQ(attempt(uploadWrites(kProgramHeader, program)), "ERR\r\n");
    EXPECT_FALSE(programKept());
    EXPECT_EQ(attempt(uploadWrites(kProgramHeader, program)), "OK\r\n");
    EXPECT_TRUE(sameBytes(stateFile("upload/program.bin"), program));
    EXPECT_EQ(events(), (std::vector<std::string>{"UPLOAD REFUSED 3000", "UPLOAD OK 3000"}));
}

TEST_F(ProgramUpload, RequestFramesFullOfSAreNeverTakenForAnUpload)
{
    // List chunks of "S" cross the simulator's reads at every place: none may start an upload.
    start(TerminalFile::numbered(1, 1));
    const std::string list(50000, 'S');
    EXPECT_EQ(I_SendList(m_id.data(), "S", list.data(), static_cast<std::int32_t>(list.size()), 3),
              1);
    EXPECT_TRUE(sameBytes(stateFile("lists/3.bin"), list));
    EXPECT_EQ(events(), std::vector<std::string>{"I_SendList 3 50000"});
}
