#include "pseudoterminal.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace qelsim {
namespace {

[[noreturn]] void throwErrno(const std::string& what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

struct SpeedName
{
    speed_t code;
    int baud;
};

constexpr std::array<SpeedName, 24> kSpeeds = {{
    {B50, 50},         {B75, 75},         {B110, 110},         {B134, 134},
    {B150, 150},       {B200, 200},       {B300, 300},         {B600, 600},
    {B1200, 1200},     {B1800, 1800},     {B2400, 2400},       {B4800, 4800},
    {B9600, 9600},     {B19200, 19200},   {B38400, 38400},     {B57600, 57600},
    {B115200, 115200}, {B230400, 230400}, {B460800, 460800},   {B500000, 500000},
    {B576000, 576000}, {B921600, 921600}, {B1000000, 1000000}, {B2000000, 2000000},
}};

} // namespace

PseudoTerminal::PseudoTerminal()
{
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0) {
        throwErrno("cannot open a pseudo-terminal");
    }
    std::array<char, 128> name{};
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0 ||
        ptsname_r(m_master, name.data(), name.size()) != 0) {
        const int error = errno;
        close(m_master);
        errno = error;
        throwErrno("cannot set up the pseudo-terminal");
    }
    m_slavePath = name.data();
    m_slave = open(m_slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio{};
    if (m_slave < 0 || tcgetattr(m_slave, &tio) != 0) {
        const int error = errno;
        close(m_master);
        if (m_slave >= 0) {
            close(m_slave);
        }
        errno = error;
        throwErrno("cannot open " + m_slavePath);
    }
    // A fresh pseudo-terminal echoes and edits lines like a console; a serial port does not.
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    cfsetispeed(&tio, B9600);
    cfsetospeed(&tio, B9600);
    tcsetattr(m_slave, TCSANOW, &tio);
    const int flags = fcntl(m_master, F_GETFL);
    fcntl(m_master, F_SETFL, flags | O_NONBLOCK);
}

PseudoTerminal::~PseudoTerminal()
{
    releaseSlave();
    close(m_master);
}

void PseudoTerminal::releaseSlave()
{
    if (m_slave >= 0) {
        close(m_slave);
        m_slave = -1;
    }
}

LineSpeed PseudoTerminal::lineSpeed() const
{
    LineSpeed speed;
    termios tio{};
    // On the master side the terminal settings are those of the slave side.
    if (tcgetattr(m_master, &tio) != 0) {
        return speed;
    }
    const speed_t code = cfgetospeed(&tio);
    for (const auto& known : kSpeeds) {
        if (known.code == code) {
            speed.baud = known.baud;
        }
    }
    int dataBits = 8;
    switch (tio.c_cflag & CSIZE) {
    case CS5:
        dataBits = 5;
        break;
    case CS6:
        dataBits = 6;
        break;
    case CS7:
        dataBits = 7;
        break;
    default:
        break;
    }
    speed.bitsPerCharacter = 1 + dataBits + ((tio.c_cflag & PARENB) != 0 ? 1 : 0) +
                             ((tio.c_cflag & CSTOPB) != 0 ? 2 : 1);
    return speed;
}

PortLink::PortLink(std::filesystem::path link, const std::string& target)
    : m_link(std::move(link))
    , m_target(target)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const auto status = fs::symlink_status(m_link, ec);
    if (fs::exists(status) && !fs::is_symlink(status)) {
        throw std::system_error(std::make_error_code(std::errc::file_exists),
                                "cannot create the link " + m_link.string() +
                                    ": something that is not a link is already there");
    }
    // Made under a temporary name and renamed into place, so a stale link is replaced at once.
    const fs::path temp = m_link.string() + ".qel-sim-" + std::to_string(getpid());
    fs::remove(temp, ec);
    fs::create_symlink(target, temp, ec);
    if (!ec) {
        fs::rename(temp, m_link, ec);
    }
    if (ec) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        throw std::system_error(ec, "cannot create the link " + m_link.string());
    }
}

PortLink::~PortLink()
{
    // Another simulator may have taken the name over since; its link stays.
    std::error_code ec;
    if (std::filesystem::read_symlink(m_link, ec) == m_target) {
        std::filesystem::remove(m_link, ec);
    }
}

} // namespace qelsim
