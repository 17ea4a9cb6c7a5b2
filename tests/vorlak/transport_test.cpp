// The serial transport on real devices (pseudo-terminals, missing, forbidden and held paths) and
// the port map. Reading and writing are covered through the library in tests/e2e.
#include "holdingchild.h"
#include "pty.h"
#include "scratchdir.h"
#include "transport/portmap.h"
#include "transport/serialport.h"

#include <array>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <vector>

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

// The default numbering: USB adapters by their stable names first, then the built-in ports.
struct DefaultPortCase
{
    const char* name;
    bool folderExists;
    std::vector<std::string> adapters;   // created in this order, listed sorted
    std::map<int, std::string> expected; // "by-id/..." is below the test's by-id folder
};

class PortMapDefault : public ::testing::TestWithParam<DefaultPortCase>
{
protected:
    ScratchDir m_dir;
};

TEST_P(PortMapDefault, NumbersAdaptersByNameThenBuiltInPorts)
{
    const DefaultPortCase& c = GetParam();
    const std::filesystem::path byId = m_dir.path() / "by-id";
    if (c.folderExists) {
        std::filesystem::create_directory(byId);
        // What udev makes: links to the device nodes, here to nodes that do not exist, which
        // must not matter; and a folder, which is no adapter.
        for (const auto& adapter : c.adapters) {
            std::filesystem::create_symlink("../../ttyUSB9", byId / adapter);
        }
        std::filesystem::create_directory(byId / "zz-not-an-adapter");
    }
    for (const auto& [port, device] : c.expected) {
        const std::string wanted =
            device.rfind("by-id/", 0) == 0 ? (m_dir.path() / device).string() : device;
        EXPECT_EQ(defaultDevicePath(port, byId), wanted) << "port " << port;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Folders, PortMapDefault,
    ::testing::Values(
        DefaultPortCase{
            "NoFolder", false, {}, {{1, "/dev/ttyS0"}, {2, "/dev/ttyS1"}, {255, "/dev/ttyS254"}}},
        DefaultPortCase{"NoAdapters", true, {}, {{1, "/dev/ttyS0"}, {16, "/dev/ttyS15"}}},
        DefaultPortCase{"OneAdapter",
                        true,
                        {"usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"},
                        {{1, "by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"},
                         {2, "/dev/ttyS0"},
                         {3, "/dev/ttyS1"}}},
        DefaultPortCase{"ThreeAdapters",
                        true,
                        {"usb-Prolific_Technology_Inc._USB-Serial_Controller-if00-port0",
                         "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0",
                         "usb-1a86_USB_Serial-if00-port0"},
                        {{1, "by-id/usb-1a86_USB_Serial-if00-port0"},
                         {2, "by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"},
                         {3, "by-id/usb-Prolific_Technology_Inc._USB-Serial_Controller-if00-port0"},
                         {4, "/dev/ttyS0"},
                         {9, "/dev/ttyS5"},
                         {255, "/dev/ttyS251"}}}),
    [](const auto& tested) { return std::string(tested.param.name); });

TEST(PortMap, MapLinesOverrideSinglePortsWithoutShiftingTheDefaultNumbering)
{
    ScratchDir dir;
    const std::filesystem::path byId = dir.path() / "by-id";
    std::filesystem::create_directory(byId);
    for (const char* adapter : {"usb-a-port0", "usb-b-port0", "usb-c-port0"}) {
        std::filesystem::create_symlink("../../ttyUSB0", byId / adapter);
    }
    const std::filesystem::path map = dir.path() / "ports.conf";
    std::ofstream(map) << "COM2=/dev/ttyACM0\nCOM5=/tmp/com5\n";

    EXPECT_EQ(devicePath(1, map, byId), (byId / "usb-a-port0").string());
    EXPECT_EQ(devicePath(2, map, byId), "/dev/ttyACM0");
    EXPECT_EQ(devicePath(3, map, byId), (byId / "usb-c-port0").string());
    EXPECT_EQ(devicePath(4, map, byId), "/dev/ttyS0");
    EXPECT_EQ(devicePath(5, map, byId), "/tmp/com5");
    EXPECT_EQ(devicePath(6, map, byId), "/dev/ttyS2");
    // Without a map file, every port takes the default.
    EXPECT_EQ(devicePath(2, dir.path() / "missing.conf", byId), (byId / "usb-b-port0").string());
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
    EXPECT_TRUE(holdsAsOrdinaryUser(expectDenied));
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
    // At once, not at the end of the read's limit; a loaded machine may take a while.
    const auto got = port->read(buffer.data(), buffer.size(), 60s);
    EXPECT_TRUE(got.failed);
    EXPECT_LT(Clock::now() - start, 10s);
}

namespace {

std::string ownProgramName()
{
    std::ifstream comm("/proc/self/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

speed_t lineSpeed(const TestPty& pty)
{
    termios tio{};
    return tcgetattr(pty.master(), &tio) == 0 ? cfgetospeed(&tio) : B0;
}

} // namespace

TEST(SerialPortExclusive, ASecondOpenerInThisProcessIsRefusedUntilTheFirstCloses)
{
    TestPty pty;
    OpenError error;
    auto first = SerialPort::open(pty.slavePath(), 9600, error);
    ASSERT_TRUE(first) << error.message;

    EXPECT_FALSE(SerialPort::open(pty.slavePath(), 115200, error));
    EXPECT_EQ(error.kind, OpenErrorKind::InUse);
    EXPECT_EQ(error.message, pty.slavePath() + " is in use by this program");
    // The refused opener left the holder's line settings alone.
    EXPECT_EQ(lineSpeed(pty), B9600);

    first.reset();
    EXPECT_TRUE(SerialPort::open(pty.slavePath(), 115200, error)) << error.message;
    EXPECT_EQ(lineSpeed(pty), B115200);
}

TEST(SerialPortExclusive, AnotherProgramHoldingTheDeviceIsNamedUntilItLetsGo)
{
    TestPty pty;
    std::unique_ptr<SerialPort> held;
    HoldingChild other(
        "cradle-holder",
        [&] {
            OpenError ignored;
            held = SerialPort::open(pty.slavePath(), 9600, ignored);
            return held != nullptr;
        },
        [&] { held.reset(); });
    ASSERT_TRUE(other.holding());

    OpenError error;
    EXPECT_FALSE(SerialPort::open(pty.slavePath(), 9600, error));
    EXPECT_EQ(error.kind, OpenErrorKind::InUse);
    EXPECT_EQ(error.message, pty.slavePath() +
                                 " is in use by another program (cradle-holder, process " +
                                 std::to_string(other.pid()) + ")");

    ASSERT_TRUE(other.release());
    EXPECT_TRUE(SerialPort::open(pty.slavePath(), 9600, error)) << error.message;
}

TEST(SerialPortExclusive, AnOrdinaryUserIsKeptOutByTheExclusiveModeAndToldWhoHoldsTheDevice)
{
    // Without root every test above goes this way already; as root, open() itself is let
    // through, so an ordinary user is played by a child that gives up root.
    if (getuid() != 0) {
        GTEST_SKIP() << "needs root to act as another user";
    }
    TestPty pty;
    OpenError error;
    auto held = SerialPort::open(pty.slavePath(), 9600, error);
    ASSERT_TRUE(held) << error.message;
    ASSERT_EQ(chown(pty.slavePath().c_str(), kOrdinaryUser, kOrdinaryUser), 0);
    const std::string expected = pty.slavePath() + " is in use by another program (" +
                                 ownProgramName() + ", process " + std::to_string(getpid()) + ")";
    EXPECT_TRUE(holdsAsOrdinaryUser([&] {
        OpenError refused;
        return !SerialPort::open(pty.slavePath(), 9600, refused) &&
               refused.kind == OpenErrorKind::InUse && refused.message == expected;
    }));
    held.reset();
    EXPECT_TRUE(holdsAsOrdinaryUser([&] {
        OpenError none;
        return SerialPort::open(pty.slavePath(), 9600, none) != nullptr;
    }));
}
