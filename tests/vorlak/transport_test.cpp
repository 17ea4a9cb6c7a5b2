// The serial transport on real devices (pseudo-terminals, missing and forbidden paths) and the
// port map's syntax. Reading and writing are covered through the library in tests/e2e.
#include "pty.h"
#include "scratchdir.h"
#include "transport/portmap.h"
#include "transport/serialport.h"

#include <array>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

using namespace vorlak;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(PortMap, ParsesComLinesAndIgnoresEverythingElse)
{
    const auto map = parsePortMap("# the cradle\n"
                                  "COM1=/dev/ttyUSB0\n"
                                  "  com2 = /tmp/my port  # simulator\r\n"
                                  "COM3\n"
                                  "COM4=\n"
                                  "COM0=/dev/zero\n"
                                  "COM256=/dev/zero\n"
                                  "COMx=/dev/zero\n"
                                  "LPT1=/dev/lp0\n"
                                  "COM1=/dev/ttyUSB1\n"
                                  "COM255=/dev/last");
    const std::map<int, std::string> expected{
        {1, "/dev/ttyUSB1"}, {2, "/tmp/my port"}, {255, "/dev/last"}};
    EXPECT_EQ(map, expected);
}

class SerialPortOpen : public ::testing::Test
{
protected:
    ScratchDir m_dir;
};

TEST_F(SerialPortOpen, TellsMissingForbiddenAndUnusableDevicesApart)
{
    OpenError error;
    const std::string missing = (m_dir / "ttyNothing");
    EXPECT_FALSE(SerialPort::open(missing, 9600, error));
    EXPECT_EQ(error.kind, OpenErrorKind::Missing);
    EXPECT_EQ(error.message, "no such device: " + missing);

    const std::string plainFile = (m_dir / "file");
    std::ofstream(plainFile) << "x";
    EXPECT_FALSE(SerialPort::open(plainFile, 9600, error));
    EXPECT_EQ(error.kind, OpenErrorKind::Other);
    EXPECT_EQ(error.message, plainFile + " is not a serial port");

    TestPty pty;
    EXPECT_FALSE(SerialPort::open(pty.slavePath(), 12345, error));
    EXPECT_EQ(error.kind, OpenErrorKind::Other);
    EXPECT_TRUE(SerialPort::open(pty.slavePath(), 9600, error));
    EXPECT_EQ(error.kind, OpenErrorKind::None);
}

TEST_F(SerialPortOpen, PermissionDeniedNamesTheDeviceAndTheDialoutGroup)
{
    // A device only its owner may open, opened by someone else: as root, a child process that
    // has given up root; otherwise this process on a file it made unreadable.
    const std::string device = (m_dir / "ttyUSB0");
    std::ofstream(device) << "x";
    ASSERT_EQ(chmod(device.c_str(), 0600), 0);
    const auto expectDenied = [&device] {
        OpenError error;
        return !SerialPort::open(device, 9600, error) &&
               error.kind == OpenErrorKind::PermissionDenied &&
               error.message ==
                   "permission denied on " + device + ": add the user to the dialout group";
    };
    if (getuid() != 0) {
        ASSERT_EQ(chmod(device.c_str(), 0), 0);
        EXPECT_TRUE(expectDenied());
        return;
    }
    ASSERT_EQ(chmod(m_dir.path().c_str(), 0755), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        _exit(setuid(65534) == 0 && expectDenied() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(SerialPort, DtrWithoutModemLinesIsDoneAndAHangUpIsReportedAtOnce)
{
    TestPty pty;
    OpenError error;
    auto port = SerialPort::open(pty.slavePath(), 9600, error);
    ASSERT_TRUE(port) << error.message;
    EXPECT_TRUE(port->setDtr(true));
    EXPECT_TRUE(port->setDtr(false));
    pty.closeMaster();
    std::array<char, 4> buffer{};
    const auto start = Clock::now();
    const auto got = port->read(buffer.data(), buffer.size(), 2s);
    EXPECT_TRUE(got.failed);
    EXPECT_LT(Clock::now() - start, 500ms);
}
