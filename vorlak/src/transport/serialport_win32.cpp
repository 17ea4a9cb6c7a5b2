// Windows counterpart of the serial port. The maker's own library serves Windows users; this
// stub keeps libvorlak building there and reports every port as unavailable.
#ifdef _WIN32

#include "serialport.h"

namespace vorlak {

bool isSupportedSpeed(int baud)
{
    return baud > 0;
}

std::unique_ptr<SerialPort> SerialPort::open(const std::string& device, int /*baud*/,
                                             OpenError& error)
{
    error = {OpenErrorKind::Other, "serial ports are not supported on this platform: " + device};
    return nullptr;
}

SerialPort::SerialPort(std::intptr_t handle, std::string device, int speed)
    : m_handle(handle)
    , m_device(std::move(device))
    , m_speed(speed)
{
}

SerialPort::~SerialPort() = default;

std::chrono::microseconds SerialPort::characterTime() const
{
    return std::chrono::microseconds(10'000'000 / (m_speed > 0 ? m_speed : 1));
}

bool SerialPort::setSpeed(int /*baud*/)
{
    return false;
}

bool SerialPort::write(std::string_view /*bytes*/, Milliseconds /*timeout*/)
{
    return false;
}

SerialPort::ReadResult SerialPort::read(char* /*buffer*/, std::size_t /*capacity*/,
                                        Milliseconds /*timeout*/)
{
    return {0, true};
}

std::size_t SerialPort::available() const
{
    return 0;
}

void SerialPort::discardInput() {}

void SerialPort::drain(Milliseconds /*timeout*/) {}

bool SerialPort::setDtr(bool /*raised*/)
{
    return true;
}

} // namespace vorlak

#endif // _WIN32
