#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace vorlak {

/// Why a port could not be opened; the numbers are those VORLAK_LastOpenError returns and
/// programs rely on them, so they never change.
enum class OpenErrorKind : int {
    None = 0,
    Missing = 1,
    PermissionDenied = 2,
    Other = 3,
    InUse = 4,
};

struct OpenError
{
    OpenErrorKind kind = OpenErrorKind::None;
    /// One line for the user, naming the device, e.g.
    /// "permission denied on /dev/ttyUSB0: add the user to the dialout group".
    std::string message;
};

/// The speeds a port can be opened with (the usual serial speeds, 50 to 921600 baud).
[[nodiscard]] bool isSupportedSpeed(int baud);

/// A serial device in raw mode, 8 data bits, no parity, one stop bit, no flow control. Every
/// call that waits has a bound given by its caller. Not copyable; closes the device when gone.
/// While open, the device is held exclusively: a second opener, in this process or another,
/// is refused with OpenErrorKind::InUse until this one is gone.
class SerialPort
{
public:
    using Milliseconds = std::chrono::milliseconds;

    /// Opens `device` at `baud`; nullptr with `error` filled when it cannot.
    [[nodiscard]] static std::unique_ptr<SerialPort> open(const std::string& device, int baud,
                                                          OpenError& error);
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    [[nodiscard]] const std::string& device() const { return m_device; }
    [[nodiscard]] int speed() const { return m_speed; }
    /// Duration of one character (start, 8 data and stop bit) at the port's speed.
    [[nodiscard]] std::chrono::microseconds characterTime() const;
    [[nodiscard]] bool setSpeed(int baud);

    /// Hands all of `bytes` to the device, waiting at most `timeout` for room. False when not
    /// all of them could be written.
    [[nodiscard]] bool write(std::string_view bytes, Milliseconds timeout);

    /// Result of read(): how many bytes arrived, or that the device is gone (hung up, unplugged,
    /// the far end of a pseudo-terminal closed), in which case waiting longer is pointless.
    struct ReadResult
    {
        std::size_t count = 0;
        bool failed = false;
    };
    /// Waits at most `timeout` for input, then takes what is there, up to `capacity` bytes.
    [[nodiscard]] ReadResult read(char* buffer, std::size_t capacity, Milliseconds timeout);
    /// Whether the device has gone (unplugged, hung up, the far end of a pseudo-terminal
    /// closed); asks without waiting.
    [[nodiscard]] bool hungUp() const;
    /// Bytes received and not read yet.
    [[nodiscard]] std::size_t available() const;
    /// Drops what was received and not read yet.
    void discardInput();
    /// Waits at most `timeout` until what was written has left the device.
    void drain(Milliseconds timeout);

    /// Raises or drops DTR. A device without modem lines (a pseudo-terminal, a bare adapter)
    /// cannot, and that counts as done: true unless the device refused for another reason.
    bool setDtr(bool raised);

private:
    SerialPort(std::intptr_t handle, std::string device, int speed);

    std::intptr_t m_handle;
    std::string m_device;
    int m_speed;
};

} // namespace vorlak
