// The serial port on Windows, through the Win32 communications functions. A COM port is opened
// exclusively by Windows itself, so a second opener (this process or another) is refused.
//
// Reads and writes are synchronous; their bounds come from COMMTIMEOUTS, set before each call
// from the caller's limit.
#ifdef _WIN32

#include "serialport.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <limits>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace vorlak {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::array<int, 20> kSpeeds = {
    50,   75,   110,  134,   150,   200,   300,    600,    1200,   1800,
    2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600,
};

// Room the driver keeps for bytes in each direction; the protocol's frames are far smaller.
constexpr DWORD kQueueSize = 4096;

HANDLE handleOf(std::intptr_t handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

// "COM12" is only reachable as "\\.\COM12" (above COM9 the short form fails), so a bare port
// name from the port map gets the device namespace prefix.
std::string devicePathFor(const std::string& device)
{
    if (device.size() > 3 && _strnicmp(device.c_str(), "COM", 3) == 0 &&
        std::all_of(device.begin() + 3, device.end(),
                    [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; })) {
        return "\\\\.\\" + device;
    }
    return device;
}

// Users know the port as "COM3", not as its device namespace path.
std::string displayName(const std::string& device)
{
    constexpr std::string_view prefix = "\\\\.\\";
    if (device.size() > prefix.size() && device.compare(0, prefix.size(), prefix) == 0) {
        return device.substr(prefix.size());
    }
    return device;
}

// Port map lines are UTF-8 like the rest of the library's files; a name that is not valid UTF-8
// is taken in the ANSI code page, as text crossing the C interface is.
std::wstring widened(const std::string& text)
{
    if (text.empty() || text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    UINT codePage = CP_UTF8;
    int length = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    if (length <= 0) {
        codePage = CP_ACP;
        length = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    }
    if (length <= 0) {
        return {};
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), length);
    return wide;
}

// The system's own wording for an error, in the ANSI code page like every text the library
// hands out, without the trailing full stop and line break.
std::string systemMessage(DWORD error)
{
    std::array<char, 512> text{};
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK,
        nullptr, error, 0, text.data(), static_cast<DWORD>(text.size()), nullptr);
    std::string message(text.data(), std::min<std::size_t>(length, text.size()));
    while (!message.empty() && (message.back() == ' ' || message.back() == '.' ||
                                message.back() == '\r' || message.back() == '\n')) {
        message.pop_back();
    }
    if (message.empty()) {
        message = "error " + std::to_string(error);
    }
    return message;
}

OpenError describeOpenFailure(DWORD error, const std::string& device)
{
    const std::string name = displayName(device);
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DEV_NOT_EXIST:
        return {OpenErrorKind::Missing, "no such device: " + name};
    // Windows answers "access denied" for a COM port another program holds; there is no
    // per-user permission on COM ports to be denied.
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return {OpenErrorKind::InUse, name + " is in use by another program"};
    default:
        return {OpenErrorKind::Other, "cannot open " + name + ": " + systemMessage(error)};
    }
}

// Raw 8N1 without flow control. DTR and RTS are raised as the POSIX side's open raises them, so
// a cradle that draws power from the lines works the same on both.
bool configure(HANDLE handle, DCB dcb, int baud)
{
    dcb.BaudRate = static_cast<DWORD>(baud);
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    // A framing or overrun error must not stall every later read until it is cleared.
    dcb.fAbortOnError = FALSE;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    return SetCommState(handle, &dcb) != 0;
}

// A wait limit in whole milliseconds as COMMTIMEOUTS takes it; MAXDWORD has a meaning of its
// own there, so the limit stays below it.
DWORD timeoutMs(std::chrono::milliseconds timeout)
{
    const auto count = std::clamp<std::chrono::milliseconds::rep>(
        timeout.count(), 0, std::numeric_limits<DWORD>::max() - 1);
    return static_cast<DWORD>(count);
}

DWORD remainingMs(Clock::time_point deadline)
{
    return timeoutMs(std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()));
}

// Reads return what has arrived at once; with nothing there, they wait up to `wait` for the first
// byte and return as soon as it comes. Writes give up after `writeWait`.
bool setTimeouts(HANDLE handle, DWORD wait, DWORD writeWait)
{
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    if (wait > 0) {
        timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
        timeouts.ReadTotalTimeoutConstant = wait;
    }
    // Zero would mean no limit at all.
    timeouts.WriteTotalTimeoutConstant = std::max<DWORD>(1, writeWait);
    return SetCommTimeouts(handle, &timeouts) != 0;
}

} // namespace

bool isSupportedSpeed(int baud)
{
    return std::find(kSpeeds.begin(), kSpeeds.end(), baud) != kSpeeds.end();
}

std::unique_ptr<SerialPort> SerialPort::open(const std::string& device, int baud, OpenError& error)
{
    error = {};
    if (!isSupportedSpeed(baud)) {
        error = {OpenErrorKind::Other,
                 "unsupported speed " + std::to_string(baud) + " for " + displayName(device)};
        return nullptr;
    }
    const std::string path = devicePathFor(device);
    const std::wstring widePath = widened(path);
    if (widePath.empty()) {
        error = {OpenErrorKind::Missing, "no such device: " + displayName(device)};
        return nullptr;
    }
    // Share mode 0: a COM port cannot be shared anyway, and this keeps everyone else off it.
    const HANDLE handle = CreateFileW(widePath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = describeOpenFailure(GetLastError(), path);
        return nullptr;
    }
    DCB state{};
    state.DCBlength = sizeof(state);
    if (!GetCommState(handle, &state)) {
        CloseHandle(handle);
        error = {OpenErrorKind::Other, displayName(path) + " is not a serial port"};
        return nullptr;
    }
    static_cast<void>(SetupComm(handle, kQueueSize, kQueueSize));
    if (!configure(handle, state, baud) || !setTimeouts(handle, 0, 1)) {
        const DWORD saved = GetLastError();
        CloseHandle(handle);
        error = {OpenErrorKind::Other,
                 "cannot set up " + displayName(path) + ": " + systemMessage(saved)};
        return nullptr;
    }
    PurgeComm(handle, PURGE_RXCLEAR | PURGE_TXCLEAR);
    return std::unique_ptr<SerialPort>(
        new SerialPort(reinterpret_cast<std::intptr_t>(handle), path, baud));
}

SerialPort::SerialPort(std::intptr_t handle, std::string device, int speed)
    : m_handle(handle)
    , m_device(std::move(device))
    , m_speed(speed)
{
}

SerialPort::~SerialPort()
{
    CloseHandle(handleOf(m_handle));
}

std::chrono::microseconds SerialPort::characterTime() const
{
    return std::chrono::microseconds(10'000'000 / std::max(1, m_speed));
}

bool SerialPort::setSpeed(int baud)
{
    if (!isSupportedSpeed(baud)) {
        return false;
    }
    DCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    if (!GetCommState(handleOf(m_handle), &dcb)) {
        return false;
    }
    dcb.BaudRate = static_cast<DWORD>(baud);
    if (!SetCommState(handleOf(m_handle), &dcb)) {
        return false;
    }
    m_speed = baud;
    return true;
}

bool SerialPort::write(std::string_view bytes, Milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    const HANDLE handle = handleOf(m_handle);
    while (!bytes.empty()) {
        const DWORD wait = remainingMs(deadline);
        if (!setTimeouts(handle, 0, wait)) {
            return false;
        }
        const DWORD chunk = static_cast<DWORD>(
            std::min<std::size_t>(bytes.size(), std::numeric_limits<DWORD>::max()));
        DWORD written = 0;
        if (!WriteFile(handle, bytes.data(), chunk, &written, nullptr)) {
            return false;
        }
        bytes.remove_prefix(std::min<std::size_t>(written, bytes.size()));
        // A write that ran into its time limit returns with what it got out; the rest waits for
        // another try only while there is time left.
        if (!bytes.empty() && remainingMs(deadline) == 0) {
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
    const HANDLE handle = handleOf(m_handle);
    if (!setTimeouts(handle, timeoutMs(timeout), 1)) {
        return {0, true};
    }
    const DWORD wanted =
        static_cast<DWORD>(std::min<std::size_t>(capacity, std::numeric_limits<DWORD>::max()));
    DWORD got = 0;
    if (!ReadFile(handle, buffer, wanted, &got, nullptr)) {
        // The device went away (adapter unplugged, driver stopped): waiting longer is pointless.
        return {0, true};
    }
    return {static_cast<std::size_t>(got), false};
}

bool SerialPort::hungUp() const
{
    // The driver of a removed adapter refuses every request on the handle.
    DWORD errors = 0;
    COMSTAT status{};
    return ClearCommError(handleOf(m_handle), &errors, &status) == 0;
}

std::size_t SerialPort::available() const
{
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(handleOf(m_handle), &errors, &status)) {
        return 0;
    }
    return static_cast<std::size_t>(status.cbInQue);
}

void SerialPort::discardInput()
{
    PurgeComm(handleOf(m_handle), PURGE_RXCLEAR);
}

void SerialPort::drain(Milliseconds timeout)
{
    // FlushFileBuffers has no time limit of its own, so wait for the driver's queue first and
    // flush only once the queue is empty, when what is left is the device's own small buffer.
    // Drivers that do not count their queue report it empty and are flushed at once.
    const HANDLE handle = handleOf(m_handle);
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        DWORD errors = 0;
        COMSTAT status{};
        if (!ClearCommError(handle, &errors, &status)) {
            return;
        }
        if (status.cbOutQue == 0) {
            FlushFileBuffers(handle);
            return;
        }
        if (Clock::now() >= deadline) {
            return;
        }
        const auto pause = std::clamp<std::chrono::milliseconds>(
            std::chrono::ceil<std::chrono::milliseconds>(characterTime() * status.cbOutQue),
            std::chrono::milliseconds(1), std::chrono::milliseconds(5));
        Sleep(static_cast<DWORD>(pause.count()));
    }
}

bool SerialPort::setDtr(bool raised)
{
    if (EscapeCommFunction(handleOf(m_handle), raised ? SETDTR : CLRDTR)) {
        return true;
    }
    // Virtual and three-wire ports without modem lines refuse this: nothing to do, so done.
    const DWORD error = GetLastError();
    return error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED ||
           error == ERROR_INVALID_PARAMETER;
}

} // namespace vorlak

#endif // _WIN32
