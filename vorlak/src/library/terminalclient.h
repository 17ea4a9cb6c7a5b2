#pragma once

#include "lineerrors.h"
#include "protocol/frame.h"
#include "protocol/messages.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vorlak {

class SerialPort;
class StreamAssembly;

/// How an exchange with the terminal ended.
enum class LinkResult {
    Ok,         ///< a valid reply came (its status may still say no)
    CommError,  ///< bytes came back, but no valid reply after every attempt
    NoTerminal, ///< nothing came back at all
};

/// Wait limits and attempts of one request. A request is sent, and sent again with the same
/// sequence number, until a valid reply carrying that number arrives or the attempts run out.
struct RetryPolicy
{
    int attempts = 1;
    /// How long after the request has left the PC the first byte of the reply may take.
    std::chrono::milliseconds answerTime{0};
    /// Overall limit of all attempts together (0: none beyond attempts x limits).
    std::chrono::milliseconds budget{0};
};

/// The PC's side of the wire protocol (docs/protocol.md) on one open port: every library call
/// that talks to the terminal is one call here, made of one or more request/reply exchanges.
class TerminalClient
{
public:
    /// Presence check: two quick attempts within 160 ms, so an empty cradle answers well within
    /// the 200 ms the polling cycle allows.
    static const RetryPolicy kCheckPolicy;
    /// Every other request.
    static const RetryPolicy kDataPolicy;
    /// An attempt whose reply is incomplete or damaged ends when the line has been quiet for
    /// kQuietCharacters character times at the port's speed, and never sooner than kQuietFloor
    /// (a busy PC or a USB adapter may hold bytes back that long): only then can a resend not
    /// meet the tail of the answer before.
    static constexpr int kQuietCharacters = 16;
    static constexpr std::chrono::milliseconds kQuietFloor{50};
    /// Most stream bytes one streamed read request asks for (about 17 s at 9600 baud). The
    /// first request on a port asks for kFirstWindow, and each one after for twice as much as
    /// the one before, so that little is lost while the client learns the line.
    static constexpr std::size_t kStreamWindow = 16U * 1024U;
    static constexpr std::size_t kFirstWindow = 2U * 1024U;
    /// Most byte ranges one streamed read request names. The request crosses the same line: kept
    /// near 100 bytes, most requests get through even where the PC's side is noisy too.
    static constexpr std::size_t kRangesPerRequest = 32;
    /// Size limits of the data block per page (read replies, list chunks). The block starts at
    /// kInitialBlock, doubles after each page that needed no retry and drops to a quarter on
    /// each retry, so that a clean line moves large pages and a noisy one soon gets small pages
    /// through.
    static constexpr std::size_t kMinBlock = 16;
    static constexpr std::size_t kInitialBlock = 1024;
    static constexpr std::size_t kMaxBlock = protocol::kMaxBlock;
    /// Longest stream the client accepts (a damaged length must not make it reserve gigabytes).
    static constexpr std::uint32_t kMaxStream = 64U * 1024U * 1024U;

    explicit TerminalClient(SerialPort& port);

    /// Outcome of a call: the link result, the terminal's status and identity from its last reply.
    struct CallResult
    {
        LinkResult link = LinkResult::CommError;
        protocol::Status status = protocol::Status::Ok;
        std::string terminalId;

        [[nodiscard]] bool ok() const
        {
            return link == LinkResult::Ok && status == protocol::Status::Ok;
        }
    };

    [[nodiscard]] CallResult check();
    /// Reads the whole stream `scope` (of `document`, 1-based, where the scope has one) page by
    /// page into `stream`.
    [[nodiscard]] CallResult read(protocol::Scope scope, std::uint32_t document,
                                  std::string& stream);
    /// ClearAll, Kill, or ClearList of `position`.
    [[nodiscard]] CallResult command(protocol::MessageType type, std::int32_t position = 0);
    [[nodiscard]] CallResult sendList(std::int32_t position, std::string_view userVariable,
                                      std::string_view data);

    /// Current page size (for tests and the benchmark).
    [[nodiscard]] std::size_t blockSize() const { return m_blockSize; }
    /// What the client has learnt of the line's errors (for tests and the benchmark).
    [[nodiscard]] const LineErrorEstimate& lineErrors() const { return m_lineErrors; }
    /// Told the stream bytes held so far, and those held from the start without a gap, whenever
    /// a reading call receives more; empty: nobody.
    using BytesReceived = std::function<void(std::uint64_t held, std::string_view contiguous)>;
    void setBytesReceived(BytesReceived told) { m_bytesReceived = std::move(told); }

private:
    /// One request until a valid reply or the end of the attempts. `onRetry`, when given, may
    /// change the request before it is sent again (a smaller page).
    template <typename OnRetry>
    LinkResult exchange(protocol::Request& request, const RetryPolicy& policy,
                        protocol::Reply& reply, OnRetry onRetry);
    LinkResult exchange(protocol::Request& request, const RetryPolicy& policy,
                        protocol::Reply& reply);
    void shrinkBlock();
    void growBlock();
    [[nodiscard]] std::chrono::microseconds quietTime() const;
    /// Writes `bytes` to the port; returns when they will have left the line, or nothing when
    /// the port failed.
    [[nodiscard]] std::optional<std::chrono::steady_clock::time_point>
    send(const std::string& bytes);
    /// The first request of a reading call: a new call number, the stream it names.
    [[nodiscard]] protocol::Request readRequest(protocol::MessageType type, protocol::Scope scope,
                                                std::uint32_t document);
    /// Reads a stream with ReadChunks requests: the terminal streams the missing bytes in chunks
    /// sized to the line's error rate, and each request asks again for what did not arrive.
    [[nodiscard]] CallResult readStreamed(protocol::Scope scope, std::uint32_t document,
                                          std::string& stream);
    /// What one ReadChunks request and the answer to it brought.
    struct StreamAttempt
    {
        bool portFailed = false;
        bool heard = false;    ///< any byte came after the request
        bool answered = false; ///< the terminal's reply came whole (its status is in the result)
        bool broken = false;   ///< the terminal's frames do not fit together
        std::size_t chunksWanted = 0;  ///< chunks asked for that lie inside the stream
        std::size_t chunksArrived = 0; ///< of those, arrived whole and placed
    };
    /// Sends `request` and places the chunks that arrive whole in `assembly`, until every chunk
    /// asked for is there, the line has gone quiet after the answer, or its time is up.
    [[nodiscard]] StreamAttempt streamAttempt(const protocol::Request& request,
                                              StreamAssembly& assembly, CallResult& result);
    /// The same page by page with Read requests, for a terminal without ReadChunks.
    [[nodiscard]] CallResult readPaged(protocol::Scope scope, std::uint32_t document,
                                       std::string& stream);

    SerialPort& m_port;
    protocol::FrameDecoder m_decoder;
    std::uint8_t m_sequence;
    std::uint16_t m_call;
    std::size_t m_blockSize = kInitialBlock;
    int m_retries = 0; // attempts beyond the first in the last exchange
    LineErrorEstimate m_lineErrors;
    BytesReceived m_bytesReceived;
    std::size_t m_window = kFirstWindow;
    std::chrono::steady_clock::time_point m_lineFreeAt{}; // when the bytes sent so far have left
    bool m_streamingUnsupported = false; // the terminal answered ReadChunks "unsupported"
};

} // namespace vorlak
