// The serial transport on real devices: pseudo-terminals, missing and forbidden paths. And the
// port map that turns a port number into a device.
#include "pty.h"
#include "scratchdir.h"
#include "transport/portmap.h"
#include "transport/serialport.h"

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

class PortMapFile : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const char* old = std::getenv("XDG_CONFIG_HOME");
        m_saved = old != nullptr ? std::optional<std::string>(old) : std::nullopt;
        setenv("XDG_CONFIG_HOME", m_dir.path().c_str(), 1);
    }
    void TearDown() override
    {
        if (m_saved) {
            setenv("XDG_CONFIG_HOME", m_saved->c_str(), 1);
        } else {
            unsetenv("XDG_CONFIG_HOME");
        }
    }
    ScratchDir m_dir;
    std::optional<std::string> m_saved;
};

TEST_F(PortMapFile, MapsListedPortsAndFallsBackToTtyS)
{
    EXPECT_EQ(devicePath(3), "/dev/ttyS2"); // no map file at all
    std::filesystem::create_directories(m_dir / "vorlak");
    std::ofstream(m_dir / "vorlak/ports.conf") << "COM3=/tmp/com3\n";
    EXPECT_EQ(portMapFile(), (m_dir / "vorlak/ports.conf"));
    EXPECT_EQ(devicePath(3), "/tmp/com3");
    EXPECT_EQ(devicePath(1), "/dev/ttyS0");
    // The map is read at every lookup: an edit counts at the next open.
    std::ofstream(m_dir / "vorlak/ports.conf") << "COM3=/tmp/other\n";
    EXPECT_EQ(devicePath(3), "/tmp/other");
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

TEST(SerialPort, MovesBytesBothWaysWithBoundedWaits)
{
    TestPty pty;
    OpenError error;
    auto port = SerialPort::open(pty.slavePath(), 9600, error);
    ASSERT_TRUE(port) << error.message;
    EXPECT_EQ(port->characterTime(), std::chrono::microseconds(1041));

    const std::string out("AT &D2 S0=1\r\n\0\xFF", 15);
    ASSERT_TRUE(port->write(out, 1s));
    std::string received(64, '\0');
    const ssize_t n = read(pty.master(), received.data(), received.size());
    EXPECT_EQ(received.substr(0, static_cast<std::size_t>(std::max<ssize_t>(0, n))), out);

    ASSERT_EQ(write(pty.master(), "CONNECT", 7), 7);
    for (int i = 0; i < 100 && port->available() < 7; ++i) {
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_EQ(port->available(), 7U);
    std::array<char, 4> small{};
    auto got = port->read(small.data(), small.size(), 0ms);
    EXPECT_EQ(std::string(small.data(), got.count), "CONN");
    port->discardInput();
    EXPECT_EQ(port->available(), 0U);

    // Nothing comes: the wait ends at its limit.
    const auto start = Clock::now();
    got = port->read(small.data(), small.size(), 100ms);
    const auto waited = Clock::now() - start;
    EXPECT_EQ(got.count, 0U);
    EXPECT_FALSE(got.failed);
    EXPECT_GE(waited, 95ms);
    EXPECT_LT(waited, 1s);

    // A pseudo-terminal has no modem lines: DTR counts as done.
    EXPECT_TRUE(port->setDtr(true));
    EXPECT_TRUE(port->setDtr(false));

    // The far end going away is reported at once, not waited out.
    pty.closeMaster();
    const auto hangup = Clock::now();
    got = port->read(small.data(), small.size(), 2s);
    EXPECT_TRUE(got.failed);
    EXPECT_LT(Clock::now() - hangup, 500ms);
}
