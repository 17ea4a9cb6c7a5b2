// The serial port on POSIX systems, through termios. A pseudo-terminal is a valid device: it is
// what qel-sim offers, and it behaves like a cradle without modem lines.
#ifndef _WIN32

#include "serialport.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <optional>
#include <poll.h>
#include <sstream>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace vorlak {
namespace {

using Clock = std::chrono::steady_clock;

struct SpeedCode
{
    int baud;
    speed_t code;
};

constexpr std::array<SpeedCode, 20> kSpeeds = {{
    {50, B50},       {75, B75},         {110, B110},       {134, B134},       {150, B150},
    {200, B200},     {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
}};

bool speedCode(int baud, speed_t& code)
{
    const auto* found = std::find_if(kSpeeds.begin(), kSpeeds.end(),
                                     [baud](const SpeedCode& s) { return s.baud == baud; });
    if (found == kSpeeds.end()) {
        return false;
    }
    code = found->code;
    return true;
}

int fdOf(std::intptr_t handle)
{
    return static_cast<int>(handle);
}

template <typename Number>
bool parseNumber(std::string_view text, Number& value, int base)
{
    const auto [rest, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return error == std::errc{} && rest == text.data() + text.size() && !text.empty();
}

// Whether "<major>:<minor>:<inode>" of /proc/locks (major and minor in hex) is the device's node.
bool sameNode(std::string_view where, const struct stat& node)
{
    const auto first = where.find(':');
    if (first == std::string_view::npos) {
        return false;
    }
    const auto second = where.find(':', first + 1);
    if (second == std::string_view::npos) {
        return false;
    }
    unsigned int devMajor = 0;
    unsigned int devMinor = 0;
    unsigned long long inode = 0;
    return parseNumber(where.substr(0, first), devMajor, 16) &&
           parseNumber(where.substr(first + 1, second - first - 1), devMinor, 16) &&
           parseNumber(where.substr(second + 1), inode, 10) && devMajor == major(node.st_dev) &&
           devMinor == minor(node.st_dev) && inode == node.st_ino;
}

struct LockHolder
{
    pid_t pid = 0;
    std::string name;
};

// The process holding the advisory lock on the device, found in /proc/locks, whose lines read
// "1: FLOCK  ADVISORY  WRITE 1234 00:05:321 0 EOF"; waiters ("1: -> FLOCK ...") hold nothing.
// Nothing when the lock, the process or its name cannot be found: the holder may have ended,
// or live in a process namespace we cannot see into.
std::optional<LockHolder> lockHolder(const struct stat& node)
{
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);) {
        std::istringstream fields(line);
        std::string number;
        std::string type;
        std::string mode;
        std::string access;
        long pid = 0;
        std::string where;
        if (!(fields >> number >> type >> mode >> access >> pid >> where) || type != "FLOCK" ||
            pid <= 0 || !sameNode(where, node)) {
            continue;
        }
        std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
        std::string name;
        if (!std::getline(comm, name) || name.empty()) {
            return std::nullopt;
        }
        return LockHolder{static_cast<pid_t>(pid), name};
    }
    return std::nullopt;
}

// The holder is named when it can be found, so the user knows which program to close.
OpenError inUse(const std::string& device, const struct stat* node)
{
    const auto holder = node != nullptr ? lockHolder(*node) : std::nullopt;
    if (holder && holder->pid == getpid()) {
        return {OpenErrorKind::InUse, device + " is in use by this program"};
    }
    std::string message = device + " is in use by another program";
    if (holder) {
        message += " (" + holder->name + ", process " + std::to_string(holder->pid) + ")";
    }
    return {OpenErrorKind::InUse, message};
}

OpenError describeOpenFailure(int error, const std::string& device)
{
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
        return {OpenErrorKind::Missing, "no such device: " + device};
    case EACCES:
    case EPERM:
        return {OpenErrorKind::PermissionDenied,
                "permission denied on " + device + ": add the user to the dialout group"};
    case EBUSY: {
        // Another program holds the line with TIOCEXCL (only root could open it regardless).
        struct stat node
        {
        };
        return inUse(device, stat(device.c_str(), &node) == 0 ? &node : nullptr);
    }
    default:
        return {OpenErrorKind::Other, "cannot open " + device + ": " + std::strerror(error)};
    }
}

// Raw 8N1 without flow control; reads never block in the driver (waiting is done with poll).
bool configure(int fd, speed_t code)
{
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        return false;
    }
    cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (cfsetispeed(&tio, code) != 0 || cfsetospeed(&tio, code) != 0) {
        return false;
    }
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

int remainingMs(Clock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, left.count()));
}

} // namespace

bool isSupportedSpeed(int baud)
{
    speed_t code{};
    return speedCode(baud, code);
}

std::unique_ptr<SerialPort> SerialPort::open(const std::string& device, int baud, OpenError& error)
{
    error = {};
    speed_t code{};
    if (!speedCode(baud, code)) {
        error = {OpenErrorKind::Other,
                 "unsupported speed " + std::to_string(baud) + " for " + device};
        return nullptr;
    }
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = describeOpenFailure(errno, device);
        return nullptr;
    }
    if (!isatty(fd)) {
        ::close(fd);
        error = {OpenErrorKind::Other, device + " is not a serial port"};
        return nullptr;
    }
    // Keep other programs off the line while we hold it, before touching its settings. Root
    // passes TIOCEXCL, so the advisory lock is what stops a second opener running as root; and
    // unlike TIOCEXCL it tells whether someone else was there first.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        struct stat node
        {
        };
        const bool known = fstat(fd, &node) == 0;
        ::close(fd);
        error = inUse(device, known ? &node : nullptr);
        return nullptr;
    }
    // Not every device supports it.
    static_cast<void>(ioctl(fd, TIOCEXCL));
    if (!configure(fd, code)) {
        const int saved = errno;
        ::close(fd);
        error = {OpenErrorKind::Other, "cannot set up " + device + ": " + std::strerror(saved)};
        return nullptr;
    }
    tcflush(fd, TCIOFLUSH);
    return std::unique_ptr<SerialPort>(new SerialPort(fd, device, baud));
}

SerialPort::SerialPort(std::intptr_t handle, std::string device, int speed)
    : m_handle(handle)
    , m_device(std::move(device))
    , m_speed(speed)
{
}

SerialPort::~SerialPort()
{
    // Released explicitly: a child forked at this moment shares the descriptor until it starts
    // its program, and closing our copy alone would leave the lock and the exclusive mode on.
    static_cast<void>(ioctl(fdOf(m_handle), TIOCNXCL));
    static_cast<void>(flock(fdOf(m_handle), LOCK_UN));
    ::close(fdOf(m_handle));
}

std::chrono::microseconds SerialPort::characterTime() const
{
    return std::chrono::microseconds(10'000'000 / std::max(1, m_speed));
}

bool SerialPort::setSpeed(int baud)
{
    speed_t code{};
    if (!speedCode(baud, code)) {
        return false;
    }
    termios tio{};
    if (tcgetattr(fdOf(m_handle), &tio) != 0 || cfsetispeed(&tio, code) != 0 ||
        cfsetospeed(&tio, code) != 0 || tcsetattr(fdOf(m_handle), TCSANOW, &tio) != 0) {
        return false;
    }
    m_speed = baud;
    return true;
}

bool SerialPort::write(std::string_view bytes, Milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    const int fd = fdOf(m_handle);
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        }
        const int wait = remainingMs(deadline);
        if (wait == 0) {
            return false;
        }
        pollfd pfd{fd, POLLOUT, 0};
        if (poll(&pfd, 1, wait) < 0 && errno != EINTR) {
            return false;
        }
        if ((pfd.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
            return false;
        }
    }
    return true;
}

SerialPort::ReadResult SerialPort::read(char* buffer, std::size_t capacity, Milliseconds timeout)
{
    if (buffer == nullptr || capacity == 0) {
        return {};
    }
    const auto deadline = Clock::now() + timeout;
    const int fd = fdOf(m_handle);
    for (;;) {
        pollfd pfd{fd, POLLIN, 0};
        const int ready = poll(&pfd, 1, remainingMs(deadline));
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return {0, true};
        }
        if (ready == 0) {
            return {};
        }
        const ssize_t n = ::read(fd, buffer, capacity);
        if (n > 0) {
            return {static_cast<std::size_t>(n), false};
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            if (remainingMs(deadline) == 0) {
                return {};
            }
            continue;
        }
        // Readable without data: the line hung up (EOF or EIO).
        return {0, true};
    }
}

bool SerialPort::hungUp() const
{
    pollfd pfd{fdOf(m_handle), POLLIN, 0};
    if (poll(&pfd, 1, 0) < 0) {
        return errno != EINTR;
    }
    return (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

std::size_t SerialPort::available() const
{
    int count = 0;
    if (ioctl(fdOf(m_handle), FIONREAD, &count) != 0 || count < 0) {
        return 0;
    }
    return static_cast<std::size_t>(count);
}

void SerialPort::discardInput()
{
    tcflush(fdOf(m_handle), TCIFLUSH);
}

void SerialPort::drain(Milliseconds timeout)
{
    // tcdrain() could wait forever on a line held by flow control; poll the queue instead.
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        int queued = 0;
        if (ioctl(fdOf(m_handle), TIOCOUTQ, &queued) != 0 || queued <= 0 ||
            Clock::now() >= deadline) {
            return;
        }
        std::this_thread::sleep_for(std::min<std::chrono::microseconds>(
            characterTime() * queued, std::chrono::milliseconds(5)));
    }
}

bool SerialPort::setDtr(bool raised)
{
    int line = TIOCM_DTR;
    if (ioctl(fdOf(m_handle), raised ? TIOCMBIS : TIOCMBIC, &line) == 0) {
        return true;
    }
    // No modem lines here (pseudo-terminal, three-wire adapter): nothing to do, so done.
    return errno == ENOTTY || errno == EINVAL || errno == EIO || errno == ENOTSUP;
}

} // namespace vorlak

#endif // _WIN32
