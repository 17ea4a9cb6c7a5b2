// libvorlak's C interface as a caller sees it: exported names, argument checks, ports, raw
// input and output. Bad calls must fail at once, never crash or wait.
#include "holdingchild.h"
#include "pty.h"
#include "simfixture.h"

#include <climits>
#include <dlfcn.h>
#include <sys/stat.h>
#include <thread>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

std::string lastOpenError(std::int32_t* kind = nullptr)
{
    std::array<char, 256> message{};
    const std::int32_t k = VORLAK_LastOpenError(message.data(), message.size());
    if (kind != nullptr) {
        *kind = k;
    }
    return message.data();
}

} // namespace

TEST(LibraryExports, EveryFunctionByItsNameAndNothingElse)
{
    const std::string file = std::string(std::getenv("KOLBRIN_BIN_DIR")) + "/libvorlak.so";
    void* library = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    for (const char* name : {"I_OpenCom",
                             "I_OpenComWithoutOpen",
                             "I_CloseCom",
                             "I_CheckTerminal",
                             "I_ReadHeader",
                             "I_ReadEntries",
                             "GetStringFromPtr",
                             "I_ReadEntriesConfig",
                             "I_ReadHeadersConfig",
                             "I_SendList",
                             "I_ClearEntries",
                             "I_ClearAllEntries",
                             "I_KillProgram",
                             "IO_Open",
                             "IO_Close",
                             "IO_Write",
                             "IO_Read",
                             "IO_NumCharsInQue",
                             "IO_dtr_control_enable",
                             "IO_dtr_control_disable",
                             "VORLAK_Sleep",
                             "VORLAK_LastOpenError",
                             "VORLAK_PortLost"}) {
        EXPECT_NE(dlsym(library, name), nullptr) << name;
    }
    // The C++ inside stays inside: a program that brings its own copy cannot clash with it.
    EXPECT_EQ(dlsym(library, "_ZN6vorlak8protocol5crc16ESt17basic_string_viewIcSt11char_"
                             "traitsIcEEt"),
              nullptr);
    dlclose(library);
}

class LibraryCalls : public SimTest
{
};

TEST_F(LibraryCalls, BadPortsAndSpeedsFailAtOnceAndSayWhy)
{
    const auto start = Clock::now();
    for (const std::int32_t port : {0, -1, 256, 100000, INT_MIN, INT_MAX}) {
        SCOPED_TRACE(port);
        EXPECT_EQ(I_OpenCom(port, kSpeed), -1);
        std::int32_t kind = 0;
        EXPECT_EQ(lastOpenError(&kind),
                  "port " + std::to_string(port) + " is not a port number (1 to 255)");
        EXPECT_EQ(kind, 3);
        EXPECT_EQ(IO_Open(port, kSpeed), -1);
        EXPECT_EQ(I_OpenComWithoutOpen(port, kSpeed), -1);
    }
    for (const std::int32_t speed : {0, -9600, 12345}) {
        EXPECT_EQ(I_OpenCom(kPort, speed), -1);
        EXPECT_EQ(IO_Open(kPort, speed), -1);
    }
    // A port nobody mapped is /dev/ttyS<n-1>; here it does not exist.
    EXPECT_EQ(I_OpenCom(200, kSpeed), -1);
    std::int32_t kind = 0;
    EXPECT_EQ(lastOpenError(&kind), "no such device: /dev/ttyS199");
    EXPECT_EQ(kind, 1);
    // The map names the simulator's link, but no simulator runs.
    EXPECT_EQ(IO_Open(kPort, kSpeed), -1);
    EXPECT_EQ(lastOpenError(&kind), "no such device: " + (m_dir / "com7"));
    EXPECT_LT(Clock::now() - start, 1s);
}

TEST_F(LibraryCalls, EveryCallWithoutAnOpenPortFailsAtOnce)
{
    const auto start = Clock::now();
    std::array<char, 256> buffer{};
    buffer.fill(' ');
    buffer.back() = '\0';
    EXPECT_EQ(I_CheckTerminal(m_id.data()), 0);
    EXPECT_EQ(I_ReadHeader(m_id.data(), kHeader, -1, &m_token), -1);
    EXPECT_EQ(I_ReadEntries(m_id.data(), kBody, -1, &m_token), -1);
    EXPECT_EQ(I_ReadEntriesConfig(m_id.data(), buffer.data()), -1);
    EXPECT_EQ(I_ReadHeadersConfig(m_id.data(), buffer.data()), -1);
    EXPECT_EQ(I_SendList(m_id.data(), "", "x", 1, 1), -1);
    EXPECT_EQ(I_ClearEntries(m_id.data(), 1), -1);
    EXPECT_EQ(I_ClearAllEntries(m_id.data()), -1);
    EXPECT_EQ(I_KillProgram(m_id.data()), -1);
    EXPECT_EQ(IO_Read(kPort, 10, buffer.data(), 1000), 0);
    EXPECT_EQ(IO_NumCharsInQue(kPort), 0);
    IO_Write(kPort, 3, "abc");
    IO_dtr_control_enable(kPort);
    IO_dtr_control_disable(kPort);
    IO_Close(kPort);
    I_CloseCom(kPort);
    EXPECT_EQ(id(), "        ");
    EXPECT_LT(Clock::now() - start, 100ms);
}

TEST_F(LibraryCalls, NullAndShortBuffersFailBeforeTheTerminalIsAsked)
{
    start(TerminalFile::numbered(1, 2));
    std::array<char, 4> shortId{'T', '1', ' ', '\0'};
    std::string shortTemplate(100, ' ');
    EXPECT_EQ(I_CheckTerminal(nullptr), 0);
    EXPECT_EQ(I_CheckTerminal(shortId.data()), 0);
    EXPECT_STREQ(shortId.data(), "T1 ");
    EXPECT_EQ(I_ReadHeader(nullptr, kHeader, -1, &m_token), -1);
    EXPECT_EQ(I_ReadHeader(m_id.data(), nullptr, -1, &m_token), -1);
    EXPECT_EQ(I_ReadHeader(m_id.data(), kHeader, -1, nullptr), -1);
    EXPECT_EQ(I_ReadEntries(m_id.data(), nullptr, -1, &m_token), -1);
    EXPECT_EQ(I_ReadEntries(m_id.data(), kBody, 0, &m_token), -1);
    EXPECT_EQ(I_ReadEntries(m_id.data(), kBody, 1, &m_token), -1);
    EXPECT_EQ(I_ReadEntriesConfig(m_id.data(), nullptr), -1);
    EXPECT_EQ(I_ReadEntriesConfig(m_id.data(), shortTemplate.data()), -1);
    EXPECT_EQ(shortTemplate, std::string(100, ' '));
    EXPECT_EQ(I_SendList(m_id.data(), nullptr, "x", 1, 1), -1);
    EXPECT_EQ(I_SendList(m_id.data(), "", nullptr, 1, 1), -1);
    EXPECT_EQ(I_SendList(m_id.data(), "", "x", -1, 1), -1);
    EXPECT_EQ(I_SendList(m_id.data(), std::string(2000, 'v').c_str(), "x", 1, 1), -1);
    EXPECT_EQ(I_ClearAllEntries(shortId.data()), -1);
    // Nothing reached the terminal, and the identity was left alone.
    EXPECT_TRUE(events().empty());
    EXPECT_EQ(id(), "        ");

    // GetStringFromPtr with nothing to give writes nothing.
    std::string buffer(8, 'x');
    GetStringFromPtr(nullptr, 1, 8);
    GetStringFromPtr(buffer.data(), 0, 8);
    GetStringFromPtr(buffer.data(), 12345, 8);
    EXPECT_EQ(buffer, "xxxxxxxx");
}

TEST_F(LibraryCalls, APortIsOpenedOnceAndTheTerminalHasOnePort)
{
    start(TerminalFile::numbered(1, 1));
    EXPECT_EQ(I_OpenCom(kPort, kSpeed), -1);
    EXPECT_EQ(lastOpenError(), "port 7 is already open");
    EXPECT_EQ(IO_Open(kPort, kSpeed), -1);
    EXPECT_EQ(I_OpenComWithoutOpen(kPort, kSpeed), -1);
    TestPty other;
    std::ofstream(m_dir.path() / "config" / "vorlak" / "ports.conf", std::ios::app)
        << "COM8=" << other.slavePath() << "\n";
    EXPECT_EQ(I_OpenCom(8, kSpeed), -1);
    EXPECT_EQ(lastOpenError(), "port 7 is already open for the terminal");
    EXPECT_GT(checksUntilAnswered(), 0);
    I_CloseCom(kPort);
    EXPECT_EQ(I_CheckTerminal(m_id.data()), 0);
    EXPECT_EQ(I_OpenCom(kPort, kSpeed), 0);
    EXPECT_GT(checksUntilAnswered(), 0);
}

TEST_F(LibraryCalls, APortWhoseDeviceHasGoneIsLostUntilItIsOpenedAgain)
{
    EXPECT_EQ(VORLAK_PortLost(kPort), 0); // not open
    start(TerminalFile::numbered(1, 1));
    EXPECT_GT(checksUntilAnswered(), 0);
    EXPECT_EQ(VORLAK_PortLost(kPort), 0);
    // The simulator ends: the far end of its pseudo-terminal closes, as an unplugged adapter's.
    m_sim->send("quit");
    ASSERT_TRUE(m_sim->wait().has_value());
    EXPECT_EQ(VORLAK_PortLost(kPort), 1);
    EXPECT_EQ(I_CheckTerminal(m_id.data()), 0);
    I_CloseCom(kPort);
    EXPECT_EQ(VORLAK_PortLost(kPort), 0);
    // Back on the same link: opened again, it serves.
    start(TerminalFile::numbered(1, 1));
    EXPECT_EQ(VORLAK_PortLost(kPort), 0);
    EXPECT_GT(checksUntilAnswered(), 0);
}

TEST_F(LibraryCalls, ACradleHeldByAnotherProgramIsInUseUntilThatProgramClosesIt)
{
    start(TerminalFile::numbered(1, 1));
    I_CloseCom(kPort);
    // The other program is a second process using this library on the same cradle.
    HoldingChild other(
        "cradle-holder", [] { return I_OpenCom(kPort, kSpeed) == 0; }, [] { I_CloseCom(kPort); });
    ASSERT_TRUE(other.holding());

    const std::string inUse = (m_dir / "com7") +
                              " is in use by another program (cradle-holder, process " +
                              std::to_string(other.pid()) + ")";
    std::int32_t kind = 0;
    EXPECT_EQ(I_OpenCom(kPort, kSpeed), -1);
    EXPECT_EQ(lastOpenError(&kind), inUse);
    EXPECT_EQ(kind, 4);
    EXPECT_EQ(IO_Open(kPort, kSpeed), -1);
    EXPECT_EQ(lastOpenError(&kind), inUse);

    ASSERT_TRUE(other.release());
    EXPECT_EQ(I_OpenCom(kPort, kSpeed), 0);
    EXPECT_EQ(lastOpenError(&kind), "");
    EXPECT_EQ(kind, 0);
    EXPECT_GT(checksUntilAnswered(), 0);
}

TEST_F(LibraryCalls, TwoPortNumbersForOneDeviceCannotBothBeOpen)
{
    start(TerminalFile::numbered(1, 1));
    std::ofstream(m_dir.path() / "config" / "vorlak" / "ports.conf", std::ios::app)
        << "COM8=" << (m_dir / "com7") << "\n";
    std::int32_t kind = 0;
    EXPECT_EQ(IO_Open(8, kSpeed), -1);
    EXPECT_EQ(lastOpenError(&kind), (m_dir / "com7") + " is in use by this program");
    EXPECT_EQ(kind, 4);
    // The terminal's port was not disturbed by the refused opener.
    EXPECT_GT(checksUntilAnswered(), 0);

    I_CloseCom(kPort);
    EXPECT_EQ(IO_Open(8, kSpeed), 8);
    EXPECT_EQ(I_OpenCom(kPort, kSpeed), -1);
    EXPECT_EQ(VORLAK_LastOpenError(nullptr, 0), 4);
    IO_Close(8);
}

TEST_F(LibraryCalls, ADeviceTheUserMayNotOpenIsReportedAsPermissionDenied)
{
    // The mapped device exists but only its owner may open it; as root the opener is a child
    // that gives up root.
    const std::string device = m_dir / "com7";
    std::ofstream(device) << "x";
    ASSERT_EQ(chmod(device.c_str(), getuid() == 0 ? 0600 : 0), 0);
    const auto denied = [&device] {
        std::int32_t kind = 0;
        return I_OpenCom(kPort, kSpeed) == -1 &&
               lastOpenError(&kind) ==
                   "permission denied on " + device + ": add the user to the dialout group" &&
               kind == 2;
    };
    if (getuid() != 0) {
        EXPECT_TRUE(denied());
        return;
    }
    ASSERT_EQ(chmod(m_dir.path().c_str(), 0755), 0);
    EXPECT_TRUE(holdsAsOrdinaryUser(denied));
}

TEST_F(LibraryCalls, RawInputAndOutputOnAPseudoTerminal)
{
    TestPty modem;
    std::ofstream(m_dir.path() / "config" / "vorlak" / "ports.conf", std::ios::app)
        << "COM9=" << modem.slavePath() << "\n";
    ASSERT_GT(IO_Open(9, kSpeed), 0);
    EXPECT_EQ(IO_Open(9, kSpeed), -1);

    IO_dtr_control_enable(9); // no modem lines: done without complaint
    IO_Write(9, 13, "AT &D2 S0=1\r\n");
    std::array<char, 64> sent{};
    EXPECT_EQ(::read(modem.master(), sent.data(), sent.size()), 13);
    EXPECT_EQ(std::string(sent.data(), 13), "AT &D2 S0=1\r\n");

    const std::string reply("\r\nRING\r\nCONNECT 9600\0\r\n", 24);
    ASSERT_EQ(::write(modem.master(), reply.data(), reply.size()), 24);
    // The pseudo-terminal passes the bytes on when the kernel gets round to it.
    for (const auto until = Clock::now() + 10s; IO_NumCharsInQue(9) < 24 && Clock::now() < until;) {
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_EQ(IO_NumCharsInQue(9), 24);
    std::string received(30, '#');
    EXPECT_EQ(IO_Read(9, 10, received.data(), 0), 10);
    EXPECT_EQ(IO_Read(9, 20, received.data() + 10, 0), 14);
    EXPECT_EQ(received, reply + "######");

    const auto waited = Clock::now();
    EXPECT_EQ(IO_Read(9, 1, received.data(), 100), 0);
    EXPECT_GE(Clock::now() - waited, 95ms);
    EXPECT_LT(Clock::now() - waited, 5s) << "the wait limit was not kept";
    IO_dtr_control_disable(9);
    IO_Close(9);
    EXPECT_EQ(IO_NumCharsInQue(9), 0);

    const auto slept = Clock::now();
    VORLAK_Sleep(-5);
    EXPECT_LT(Clock::now() - slept, 1s) << "a negative time must not become a long one";
    VORLAK_Sleep(50);
    EXPECT_GE(Clock::now() - slept, 50ms);
}

TEST_F(LibraryCalls, ARawPortIsTakenOverForTheTerminal)
{
    start(TerminalFile::numbered(1, 1));
    I_CloseCom(kPort);
    ASSERT_EQ(IO_Open(kPort, kSpeed), kPort);
    EXPECT_EQ(I_CheckTerminal(m_id.data()), 0); // raw only: no terminal protocol yet
    EXPECT_EQ(I_OpenComWithoutOpen(kPort, kSpeed), 0);
    EXPECT_EQ(I_OpenComWithoutOpen(kPort, kSpeed), -1);
    EXPECT_EQ(I_CheckTerminal(m_id.data()), 1);
    EXPECT_EQ(id(), "T1      ");
    IO_Close(kPort);
    EXPECT_EQ(I_CheckTerminal(m_id.data()), 0);
    EXPECT_EQ(events(), std::vector<std::string>{"I_CheckTerminal"});
}
