#include "library.h"

#include "protocol/recordstream.h"
#include "template/templateformatter.h"
#include "terminalclient.h"
#include "transport/portmap.h"
#include "vorlak.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

namespace vorlak {

using protocol::MessageType;
using protocol::Scope;
using protocol::Status;

namespace {

constexpr std::size_t kIdLength = VORLAK_TERMINAL_ID_LENGTH;
constexpr std::size_t kTemplateCapacity = VORLAK_TEMPLATE_CAPACITY;
constexpr std::int32_t kOk = 1;
// IO_Write waits for its bytes to leave at most this long beyond their time on the line.
constexpr std::chrono::milliseconds kWriteSlack{1000};

bool validPort(std::int32_t port)
{
    return port >= kFirstPort && port <= kLastPort;
}

bool validIdentityBuffer(const char* terminalId)
{
    return terminalId != nullptr && strnlen(terminalId, kIdLength) == kIdLength;
}

// Exactly 8 characters: the identity cut or padded with spaces. A zero byte from the terminal
// would end the caller's string early, so it becomes a space too.
void writeIdentity(char* terminalId, std::string_view identity)
{
    for (std::size_t i = 0; i < kIdLength; ++i) {
        const char c = i < identity.size() ? identity[i] : ' ';
        terminalId[i] = c == '\0' ? ' ' : c;
    }
}

std::int32_t resultCode(const TerminalClient::CallResult& result)
{
    switch (result.link) {
    case LinkResult::NoTerminal:
        return VORLAK_ERR_NO_TERMINAL;
    case LinkResult::CommError:
        return VORLAK_ERR_COMM;
    case LinkResult::Ok:
        break;
    }
    switch (result.status) {
    case Status::Ok:
        return kOk;
    case Status::NoSuchDocument:
        return VORLAK_END;
    case Status::Rejected:
    case Status::Unsupported:
        break;
    }
    return VORLAK_ERR_COMM;
}

std::chrono::milliseconds lineTime(const SerialPort& port, std::size_t bytes)
{
    return std::chrono::ceil<std::chrono::milliseconds>(port.characterTime() *
                                                        static_cast<long>(bytes));
}

} // namespace

Library& Library::instance()
{
    static Library library;
    return library;
}

Library::Library() = default;
Library::~Library() = default;

void Library::failOpen(OpenErrorKind kind, std::string message)
{
    m_openError = {kind, std::move(message)};
}

bool Library::checkOpenArguments(std::int32_t port, std::int32_t speed, bool mustBeClosed)
{
    m_openError = {};
    if (!validPort(port)) {
        failOpen(OpenErrorKind::Other, "port " + std::to_string(port) + " is not a port number (" +
                                           std::to_string(kFirstPort) + " to " +
                                           std::to_string(kLastPort) + ")");
        return false;
    }
    if (!isSupportedSpeed(speed)) {
        failOpen(OpenErrorKind::Other, "speed " + std::to_string(speed) + " is not supported");
        return false;
    }
    const bool open = m_ports.count(port) != 0;
    if (mustBeClosed && open) {
        failOpen(OpenErrorKind::Other, "port " + std::to_string(port) + " is already open");
        return false;
    }
    if (!mustBeClosed && !open) {
        failOpen(OpenErrorKind::Other, "port " + std::to_string(port) + " is not open");
        return false;
    }
    return true;
}

bool Library::openDevice(std::int32_t port, std::int32_t speed, bool terminal)
{
    OpenError error;
    auto serial = SerialPort::open(devicePath(port), speed, error);
    if (!serial) {
        m_openError = std::move(error);
        return false;
    }
    m_ports[port] = OpenPort{std::move(serial), terminal};
    return true;
}

void Library::forgetTerminal()
{
    m_client.reset();
    m_terminalPort = 0;
    m_lastHeaderIndex = 0;
}

std::int32_t Library::openTerminalPort(std::int32_t port, std::int32_t speed)
{
    std::lock_guard lock(m_mutex);
    if (!checkOpenArguments(port, speed, true)) {
        return VORLAK_ERR_COMM;
    }
    // The I_ functions name no port: only one port at a time can be the terminal's.
    if (m_terminalPort != 0) {
        failOpen(OpenErrorKind::Other,
                 "port " + std::to_string(m_terminalPort) + " is already open for the terminal");
        return VORLAK_ERR_COMM;
    }
    if (!openDevice(port, speed, true)) {
        return VORLAK_ERR_COMM;
    }
    m_terminalPort = port;
    m_client = std::make_unique<TerminalClient>(*m_ports[port].serial);
    return 0;
}

std::int32_t Library::takeOverPort(std::int32_t port, std::int32_t speed)
{
    std::lock_guard lock(m_mutex);
    if (!checkOpenArguments(port, speed, false)) {
        return VORLAK_ERR_COMM;
    }
    OpenPort& open = m_ports[port];
    if (open.terminal) {
        failOpen(OpenErrorKind::Other,
                 "port " + std::to_string(port) + " is already open for the terminal");
        return VORLAK_ERR_COMM;
    }
    if (m_terminalPort != 0) {
        failOpen(OpenErrorKind::Other,
                 "port " + std::to_string(m_terminalPort) + " is already open for the terminal");
        return VORLAK_ERR_COMM;
    }
    if (open.serial->speed() != speed && !open.serial->setSpeed(speed)) {
        failOpen(OpenErrorKind::Other,
                 "cannot set " + open.serial->device() + " to " + std::to_string(speed) + " baud");
        return VORLAK_ERR_COMM;
    }
    open.terminal = true;
    m_terminalPort = port;
    m_client = std::make_unique<TerminalClient>(*open.serial);
    return 0;
}

void Library::closeTerminalPort(std::int32_t port)
{
    std::lock_guard lock(m_mutex);
    if (port == 0 || port != m_terminalPort) {
        return;
    }
    forgetTerminal();
    m_ports.erase(port);
}

TerminalClient* Library::terminalFor(const char* terminalId) const
{
    return validIdentityBuffer(terminalId) ? m_client.get() : nullptr;
}

std::int32_t Library::checkTerminal(char* terminalId)
{
    std::lock_guard lock(m_mutex);
    TerminalClient* client = terminalFor(terminalId);
    if (client == nullptr) {
        return 0;
    }
    const auto result = client->check();
    if (!result.ok()) {
        return 0;
    }
    writeIdentity(terminalId, result.terminalId);
    return 1;
}

void Library::startReading(std::int32_t* textToken)
{
    if (textToken != nullptr) {
        *textToken = 0;
    }
    m_text.clear();
    m_text.shrink_to_fit();
    m_token = 0;
}

void Library::setProgressCallback(VORLAK_ProgressCallback callback, void* context)
{
    std::lock_guard lock(m_mutex);
    m_progress = callback;
    m_progressContext = context;
}

void Library::followProgress(TerminalClient& client)
{
    if (m_progress == nullptr) {
        client.setBytesReceived({});
        return;
    }
    // The records complete in the stream's start are counted as it comes, at most every
    // kProgressPeriod (counting reads the whole start again); the formatted ones at the end.
    m_progressCounted = {};
    m_progressRecords = 0;
    client.setBytesReceived([this](std::uint64_t held, std::string_view contiguous) {
        const auto now = std::chrono::steady_clock::now();
        if (now - m_progressCounted >= kProgressPeriod) {
            m_progressCounted = now;
            m_progressRecords =
                static_cast<std::int32_t>(protocol::countCompleteRecords(contiguous));
        }
        reportProgress(m_progressRecords, held);
    });
}

void Library::reportProgress(std::int32_t records, std::uint64_t bytes) const
{
    if (m_progress == nullptr) {
        return;
    }
    const auto limit = static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max());
    m_progress(records, static_cast<std::int32_t>(std::min(bytes, limit)), m_progressContext);
}

std::int32_t Library::publish(std::string text, std::int32_t* textToken)
{
    if (text.empty()) {
        return 0;
    }
    if (text.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        return VORLAK_ERR_COMM;
    }
    m_text = std::move(text);
    // Tokens run 1, 2, ... and wrap before the sign bit; 0 never names a text.
    m_tokenCounter =
        m_tokenCounter == std::numeric_limits<std::int32_t>::max() ? 1 : m_tokenCounter + 1;
    m_token = m_tokenCounter;
    *textToken = m_token;
    return static_cast<std::int32_t>(m_text.size());
}

std::int32_t Library::readHeader(char* terminalId, const char* headerTemplate, std::int32_t index,
                                 std::int32_t* textToken)
{
    std::lock_guard lock(m_mutex);
    startReading(textToken);
    m_lastHeaderIndex = 0;
    TerminalClient* client = terminalFor(terminalId);
    if (client == nullptr || headerTemplate == nullptr || textToken == nullptr || index >= 0) {
        return VORLAK_ERR_COMM;
    }
    std::string stream;
    const auto document = static_cast<std::uint32_t>(-static_cast<std::int64_t>(index));
    followProgress(*client);
    const auto result = client->read(Scope::Header, document, stream);
    client->setBytesReceived({});
    if (result.link == LinkResult::Ok) {
        writeIdentity(terminalId, result.terminalId);
    }
    if (!result.ok()) {
        return resultCode(result);
    }
    const auto records = protocol::decodeRecords(stream);
    if (!records || records->size() != 1) {
        return VORLAK_ERR_COMM;
    }
    m_lastHeaderIndex = index;
    reportProgress(1, stream.size());
    return publish(formatRecord(headerTemplate, records->front()), textToken);
}

std::int32_t Library::readEntries(char* terminalId, const char* bodyTemplate, std::int32_t index,
                                  std::int32_t* textToken)
{
    std::lock_guard lock(m_mutex);
    startReading(textToken);
    // With headers, the program reads header -k and then entries -k; entries -1 without the
    // header just before is a reading without headers and takes every entry at once.
    const std::int32_t headerIndex = std::exchange(m_lastHeaderIndex, 0);
    TerminalClient* client = terminalFor(terminalId);
    if (client == nullptr || bodyTemplate == nullptr || textToken == nullptr || index >= 0) {
        return VORLAK_ERR_COMM;
    }
    Scope scope = Scope::DocumentEntries;
    auto document = static_cast<std::uint32_t>(-static_cast<std::int64_t>(index));
    if (headerIndex != index) {
        if (index != -1) {
            return VORLAK_END;
        }
        scope = Scope::AllEntries;
        document = 0;
    }
    std::string stream;
    followProgress(*client);
    const auto result = client->read(scope, document, stream);
    client->setBytesReceived({});
    if (result.link == LinkResult::Ok) {
        writeIdentity(terminalId, result.terminalId);
    }
    if (!result.ok()) {
        return resultCode(result);
    }
    const auto records = protocol::decodeRecords(stream);
    if (!records) {
        return VORLAK_ERR_COMM;
    }
    std::string text;
    for (const Record& record : *records) {
        text += formatRecord(bodyTemplate, record);
    }
    reportProgress(static_cast<std::int32_t>(records->size()), stream.size());
    return publish(std::move(text), textToken);
}

void Library::copyText(char* buffer, std::int32_t textToken, std::int32_t length)
{
    std::lock_guard lock(m_mutex);
    if (buffer == nullptr || length <= 0 || textToken == 0 || textToken != m_token) {
        return;
    }
    const std::size_t count = std::min(m_text.size(), static_cast<std::size_t>(length));
    std::memcpy(buffer, m_text.data(), count);
}

std::int32_t Library::readTemplate(char* terminalId, char* buffer, Scope scope)
{
    std::lock_guard lock(m_mutex);
    TerminalClient* client = terminalFor(terminalId);
    if (client == nullptr || buffer == nullptr ||
        strnlen(buffer, kTemplateCapacity) < kTemplateCapacity) {
        return VORLAK_ERR_COMM;
    }
    std::memset(buffer, ' ', kTemplateCapacity);
    std::string templ;
    const auto result = client->read(scope, 0, templ);
    if (result.link == LinkResult::Ok) {
        writeIdentity(terminalId, result.terminalId);
    }
    if (!result.ok()) {
        return resultCode(result);
    }
    // The program trims the buffer afterwards; a zero byte would cut it short, so it goes too.
    std::replace(templ.begin(), templ.end(), '\0', ' ');
    const std::size_t count = std::min(templ.size(), kTemplateCapacity);
    std::memcpy(buffer, templ.data(), count);
    return static_cast<std::int32_t>(count);
}

std::int32_t Library::sendList(char* terminalId, const char* userVariable, const char* data,
                               std::int32_t length, std::int32_t position)
{
    std::lock_guard lock(m_mutex);
    TerminalClient* client = terminalFor(terminalId);
    if (client == nullptr || userVariable == nullptr || length < 0 ||
        (data == nullptr && length > 0) ||
        strnlen(userVariable, protocol::kMaxUserVariable + 1) > protocol::kMaxUserVariable) {
        return VORLAK_ERR_COMM;
    }
    const std::string_view list(data == nullptr ? "" : data, static_cast<std::size_t>(length));
    const auto result = client->sendList(position, userVariable, list);
    if (result.link == LinkResult::Ok) {
        writeIdentity(terminalId, result.terminalId);
    }
    return resultCode(result);
}

std::int32_t Library::clearList(char* terminalId, std::int32_t list)
{
    std::lock_guard lock(m_mutex);
    TerminalClient* client = terminalFor(terminalId);
    if (client == nullptr) {
        return VORLAK_ERR_COMM;
    }
    const auto result = client->command(MessageType::ClearList, list);
    if (result.link == LinkResult::Ok) {
        writeIdentity(terminalId, result.terminalId);
    }
    return resultCode(result);
}

std::int32_t Library::clearAll(char* terminalId)
{
    std::lock_guard lock(m_mutex);
    TerminalClient* client = terminalFor(terminalId);
    if (client == nullptr) {
        return VORLAK_ERR_COMM;
    }
    const auto result = client->command(MessageType::ClearAll);
    if (result.link == LinkResult::Ok) {
        writeIdentity(terminalId, result.terminalId);
    }
    return resultCode(result);
}

std::int32_t Library::killProgram(char* terminalId)
{
    std::lock_guard lock(m_mutex);
    TerminalClient* client = terminalFor(terminalId);
    if (client == nullptr) {
        return VORLAK_ERR_COMM;
    }
    const auto result = client->command(MessageType::Kill);
    if (result.link == LinkResult::Ok) {
        writeIdentity(terminalId, result.terminalId);
    }
    return resultCode(result);
}

std::int32_t Library::rawOpen(std::int32_t port, std::int32_t speed)
{
    std::lock_guard lock(m_mutex);
    if (!checkOpenArguments(port, speed, true) || !openDevice(port, speed, false)) {
        return VORLAK_ERR_COMM;
    }
    return port;
}

void Library::rawClose(std::int32_t port)
{
    std::lock_guard lock(m_mutex);
    const auto found = m_ports.find(port);
    if (found == m_ports.end()) {
        return;
    }
    if (found->second.terminal) {
        forgetTerminal();
    }
    m_ports.erase(found);
}

SerialPort* Library::rawPort(std::int32_t port)
{
    const auto found = m_ports.find(port);
    return found == m_ports.end() ? nullptr : found->second.serial.get();
}

void Library::rawWrite(std::int32_t port, std::int32_t count, const char* bytes)
{
    std::lock_guard lock(m_mutex);
    SerialPort* serial = rawPort(port);
    if (serial == nullptr || count <= 0 || bytes == nullptr) {
        return;
    }
    const auto size = static_cast<std::size_t>(count);
    const auto limit = lineTime(*serial, size) * 2 + kWriteSlack;
    if (serial->write(std::string_view(bytes, size), limit)) {
        serial->drain(limit);
    }
}

std::int32_t Library::rawRead(std::int32_t port, std::int32_t maxCount, char* buffer,
                              std::int32_t waitMs)
{
    std::lock_guard lock(m_mutex);
    SerialPort* serial = rawPort(port);
    if (serial == nullptr || maxCount <= 0 || buffer == nullptr) {
        return 0;
    }
    const auto got = serial->read(buffer, static_cast<std::size_t>(maxCount),
                                  std::chrono::milliseconds(std::max(0, waitMs)));
    return static_cast<std::int32_t>(got.count);
}

std::int32_t Library::rawAvailable(std::int32_t port)
{
    std::lock_guard lock(m_mutex);
    SerialPort* serial = rawPort(port);
    if (serial == nullptr) {
        return 0;
    }
    return static_cast<std::int32_t>(
        std::min<std::size_t>(serial->available(), std::numeric_limits<std::int32_t>::max()));
}

void Library::rawDtr(std::int32_t port, bool raised)
{
    std::lock_guard lock(m_mutex);
    if (SerialPort* serial = rawPort(port)) {
        serial->setDtr(raised);
    }
}

std::int32_t Library::lastOpenError(char* buffer, std::int32_t capacity)
{
    std::lock_guard lock(m_mutex);
    if (buffer != nullptr && capacity > 0) {
        const std::size_t count =
            std::min(m_openError.message.size(), static_cast<std::size_t>(capacity) - 1);
        std::memcpy(buffer, m_openError.message.data(), count);
        buffer[count] = '\0';
    }
    return static_cast<std::int32_t>(m_openError.kind);
}

std::int32_t Library::portLost(std::int32_t port)
{
    std::lock_guard lock(m_mutex);
    const auto open = m_ports.find(port);
    return open != m_ports.end() && open->second.serial->hungUp() ? 1 : 0;
}

} // namespace vorlak
