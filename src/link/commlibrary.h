#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

/// Every function of the terminal communication library, callable without raw buffers.
///
/// Members carry the library's own function names and keep its semantics and result codes
/// (see vorlak/include/vorlak.h): -1 communication error, -2 no terminal in the cradle, -3
/// nothing more to read, 0 nothing this time. Text is bytes in Windows-1252 both ways; callers
/// convert with TextCodec. Buffers that receive text are prepared here as the library expects
/// (spaces to capacity, zero-terminated) and come back at their full capacity: the bytes before
/// the first zero, padded with spaces.
///
/// When the library cannot be called (not installed, or a function missing), each function
/// answers as it does on a communication error: the terminal functions -1, except
/// I_CheckTerminal 0 (no terminal), IO_NumCharsInQue 0, IO_Read and GetStringFromPtr no bytes;
/// the others do nothing.
class CommLibrary
{
public:
    /// Result codes of the terminal functions, as every caller reads them.
    static constexpr std::int32_t kCommError = -1;
    static constexpr std::int32_t kNoTerminal = -2;
    static constexpr std::int32_t kNothingMore = -3;
    /// Length of a terminal identity (TerminalId).
    static constexpr int kTerminalIdLength = 8;
    /// Capacity of the template buffers of I_ReadEntriesConfig and I_ReadHeadersConfig.
    static constexpr int kTemplateCapacity = 255;

    /// Why the last port opening failed, as the library describes it.
    struct OpenError
    {
        /// The library's numbers (VORLAK_LastOpenError).
        enum class Kind { NoDevice = 1, PermissionDenied = 2, Other = 3, InUse = 4 };
        Kind kind = Kind::Other;
        /// e.g. "permission denied on /dev/ttyUSB0: add the user to the dialout group"
        QString text;
    };

    virtual ~CommLibrary() = default;

    /// Opens the port for the cradle protocol; -1 when it cannot be opened, otherwise >= 0.
    virtual std::int32_t I_OpenCom(std::int32_t port, std::int32_t speed) = 0;
    /// Switches a port held by IO_Open (after a modem CONNECT) to the cradle protocol.
    virtual std::int32_t I_OpenComWithoutOpen(std::int32_t port, std::int32_t speed) = 0;
    /// Closes a port opened with I_OpenCom or I_OpenComWithoutOpen.
    virtual void I_CloseCom(std::int32_t port) = 0;

    /// Nonzero when a terminal answers, 0 when none does or on error; terminalId (in/out,
    /// padded to 8) receives its identity.
    virtual std::int32_t I_CheckTerminal(QByteArray& terminalId) = 0;
    /// Formats document header -index; > 0 is the length of the text named by textToken.
    virtual std::int32_t I_ReadHeader(QByteArray& terminalId, const QByteArray& headerTemplate,
                                      std::int32_t index, std::int32_t& textToken) = 0;
    /// Formats the entries of document -index (every entry when reading without headers).
    virtual std::int32_t I_ReadEntries(QByteArray& terminalId, const QByteArray& bodyTemplate,
                                       std::int32_t index, std::int32_t& textToken) = 0;
    /// The `length` bytes of text behind a reading token (spaces where the library gave none).
    [[nodiscard]] virtual QByteArray GetStringFromPtr(std::int32_t textToken,
                                                      std::int32_t length) = 0;

    /// >= 1 when bodyTemplate (out, 255 bytes padded with spaces) holds the terminal's template.
    virtual std::int32_t I_ReadEntriesConfig(QByteArray& terminalId, QByteArray& bodyTemplate) = 0;
    /// >= 1 when headerTemplate (out, 255 bytes) holds the terminal's header template.
    virtual std::int32_t I_ReadHeadersConfig(QByteArray& terminalId,
                                             QByteArray& headerTemplate) = 0;

    /// Sends list data (data.size() bytes, zeros allowed) to list `position`; -1, -2 or >= 0.
    virtual std::int32_t I_SendList(QByteArray& terminalId, const QByteArray& userVariable,
                                    const QByteArray& data, std::int32_t position) = 0;
    /// Clears one list of the terminal; -1, -2 or >= 0.
    virtual std::int32_t I_ClearEntries(QByteArray& terminalId, std::int32_t list) = 0;
    /// Clears every document of the terminal; -1, -2 or >= 0.
    virtual std::int32_t I_ClearAllEntries(QByteArray& terminalId) = 0;
    /// Stops the terminal's program before a new one is sent; -1, -2 or >= 0.
    virtual std::int32_t I_KillProgram(QByteArray& terminalId) = 0;

    /// Opens the port for raw bytes; > 0 on success, -1 (or 0) on failure.
    virtual std::int32_t IO_Open(std::int32_t port, std::int32_t speed) = 0;
    /// Closes a port opened with IO_Open or handed over with I_OpenComWithoutOpen.
    virtual void IO_Close(std::int32_t port) = 0;
    /// Writes every byte of `bytes`, waiting (within a bound) until they are sent.
    virtual void IO_Write(std::int32_t port, const QByteArray& bytes) = 0;
    /// Up to maxCount bytes, waiting at most waitMs for the first; empty when none came.
    [[nodiscard]] virtual QByteArray IO_Read(std::int32_t port, std::int32_t maxCount,
                                             std::int32_t waitMs) = 0;
    /// Number of bytes waiting to be read; 0 on error.
    virtual std::int32_t IO_NumCharsInQue(std::int32_t port) = 0;
    /// Raises DTR.
    virtual void IO_dtr_control_enable(std::int32_t port) = 0;
    /// Drops DTR.
    virtual void IO_dtr_control_disable(std::int32_t port) = 0;
    /// Pauses for the given milliseconds inside the library.
    virtual void VORLAK_Sleep(std::int32_t milliseconds) = 0;

    /// Why the last open call failed; nullopt when none failed or the library cannot tell.
    [[nodiscard]] virtual std::optional<OpenError> lastOpenError() { return std::nullopt; }

    /// True when the device of open port `port` has gone (unplugged, hung up): every exchange
    /// on it fails until it is closed and opened again. False when it is there, when the port
    /// is not open, or when the library cannot tell (the maker's cannot).
    [[nodiscard]] virtual bool portLost(std::int32_t port)
    {
        static_cast<void>(port);
        return false;
    }

    /// How far the reading call under way (I_ReadHeader, I_ReadEntries) has got.
    struct ReadProgress
    {
        /// Records received so far (a library may tell them only at the call's end).
        std::int64_t records = 0;
        std::int64_t bytes = 0;
    };
    using ProgressHandler = std::function<void(ReadProgress)>;
    /// Has `handler` told the progress of every reading call from now on (an empty handler
    /// stops it). False when the library cannot tell (the maker's library does not): then
    /// nothing is told. The handler runs on the thread that set it.
    virtual bool setReadProgress(ProgressHandler handler)
    {
        static_cast<void>(handler);
        return false;
    }
    /// True while a call runs on another thread and the caller's thread handles window events
    /// meanwhile: work that needs the library waits for its turn (the polling tick skips).
    [[nodiscard]] virtual bool callInFlight() const { return false; }
    /// Told true when a call starts where callInFlight() was false, and false when it ends.
    virtual void setCallObserver(std::function<void(bool inFlight)> observer)
    {
        static_cast<void>(observer);
    }
};
