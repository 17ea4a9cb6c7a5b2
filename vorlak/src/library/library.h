#pragma once

#include "protocol/messages.h"
#include "transport/serialport.h"
#include "vorlak.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace vorlak {

class TerminalClient;

/// Everything libvorlak keeps between calls: the open ports, the one port that speaks the
/// terminal protocol, the text of the last reading and why the last open failed. The C
/// functions of vorlak.h forward here; the arguments are checked here, first, so every entry
/// point fails the same way. One mutex serialises the calls: the program calls from one thread,
/// and a second thread only waits its turn.
class Library
{
public:
    [[nodiscard]] static Library& instance();

    Library();
    ~Library();
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    std::int32_t openTerminalPort(std::int32_t port, std::int32_t speed);
    std::int32_t takeOverPort(std::int32_t port, std::int32_t speed);
    void closeTerminalPort(std::int32_t port);

    std::int32_t checkTerminal(char* terminalId);
    std::int32_t readHeader(char* terminalId, const char* headerTemplate, std::int32_t index,
                            std::int32_t* textToken);
    std::int32_t readEntries(char* terminalId, const char* bodyTemplate, std::int32_t index,
                             std::int32_t* textToken);
    void copyText(char* buffer, std::int32_t textToken, std::int32_t length);
    std::int32_t readTemplate(char* terminalId, char* buffer, protocol::Scope scope);
    std::int32_t sendList(char* terminalId, const char* userVariable, const char* data,
                          std::int32_t length, std::int32_t position);
    std::int32_t clearList(char* terminalId, std::int32_t list);
    std::int32_t clearAll(char* terminalId);
    std::int32_t killProgram(char* terminalId);

    std::int32_t rawOpen(std::int32_t port, std::int32_t speed);
    void rawClose(std::int32_t port);
    void rawWrite(std::int32_t port, std::int32_t count, const char* bytes);
    std::int32_t rawRead(std::int32_t port, std::int32_t maxCount, char* buffer,
                         std::int32_t waitMs);
    std::int32_t rawAvailable(std::int32_t port);
    void rawDtr(std::int32_t port, bool raised);

    std::int32_t lastOpenError(char* buffer, std::int32_t capacity);
    /// 1 when the device of open port `port` has gone (VORLAK_PortLost), otherwise 0.
    std::int32_t portLost(std::int32_t port);
    /// Who is told the progress of reading calls (VORLAK_SetProgressCallback); null: nobody.
    void setProgressCallback(VORLAK_ProgressCallback callback, void* context);

private:
    struct OpenPort
    {
        std::unique_ptr<SerialPort> serial;
        bool terminal = false; // speaks the terminal protocol (I_ functions)
    };

    /// Checks what every open call checks; records the failure and returns false.
    bool checkOpenArguments(std::int32_t port, std::int32_t speed, bool mustBeClosed);
    bool openDevice(std::int32_t port, std::int32_t speed, bool terminal);
    void failOpen(OpenErrorKind kind, std::string message);
    void forgetTerminal();
    [[nodiscard]] SerialPort* rawPort(std::int32_t port);
    /// The client of the terminal port after checking the identity buffer; nullptr: fail.
    [[nodiscard]] TerminalClient* terminalFor(const char* terminalId) const;
    /// Starts a reading call: the previous text and token are gone from here on.
    void startReading(std::int32_t* textToken);
    /// Makes `text` the current reading text; returns its length (0 for none).
    std::int32_t publish(std::string text, std::int32_t* textToken);
    /// Has the client of a reading call report its bytes to the progress callback.
    void followProgress(TerminalClient& client);
    void reportProgress(std::int32_t records, std::uint64_t bytes) const;

    std::mutex m_mutex;
    std::map<std::int32_t, OpenPort> m_ports;
    std::int32_t m_terminalPort = 0;
    std::unique_ptr<TerminalClient> m_client;

    std::string m_text;
    std::int32_t m_token = 0;           // 0: no text
    std::int32_t m_lastHeaderIndex = 0; // I_ReadHeader index read just before, 0: none
    std::int32_t m_tokenCounter = 0;

    OpenError m_openError;

    VORLAK_ProgressCallback m_progress = nullptr;
    void* m_progressContext = nullptr;
    static constexpr std::chrono::milliseconds kProgressPeriod{250};
    std::chrono::steady_clock::time_point m_progressCounted;
    std::int32_t m_progressRecords = 0; // complete in the reading call's stream so far
};

} // namespace vorlak
