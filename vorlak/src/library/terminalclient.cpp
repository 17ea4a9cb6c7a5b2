#include "terminalclient.h"

#include "streamassembly.h"
#include "transport/serialport.h"

#include <algorithm>
#include <array>
#include <random>

namespace vorlak {

using namespace protocol;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

const RetryPolicy TerminalClient::kCheckPolicy{2, milliseconds(70), milliseconds(160)};
// Sixteen attempts with pages cut to a quarter on each: on a line that damages one byte in a
// hundred, a page still gets through with near certainty (docs/protocol.md has the figures).
const RetryPolicy TerminalClient::kDataPolicy{16, milliseconds(300), milliseconds(0)};

namespace {

template <typename Duration>
milliseconds roundUp(Duration duration)
{
    return std::chrono::ceil<milliseconds>(duration);
}

// Whether `bytes` hold more than idle fill: the two idle bytes that trail the answer before
// may still be arriving after a request has gone out, and are no answer to it.
bool beyondIdleFill(const char* bytes, std::size_t count)
{
    return std::any_of(bytes, bytes + count, [](char byte) { return byte != '\xFF'; });
}

// Largest payload of a reply frame other than a chunk or a page: status, identity and a length.
constexpr std::size_t kReplyPayloadLimit = 64;

} // namespace

TerminalClient::TerminalClient(SerialPort& port)
    : m_port(port)
{
    // Start at an unpredictable number, so that a library loaded again does not repeat the call
    // and sequence numbers the terminal saw last from the one before.
    std::random_device random;
    m_sequence = static_cast<std::uint8_t>(random());
    m_call = static_cast<std::uint16_t>(random());
}

LinkResult TerminalClient::exchange(Request& request, const RetryPolicy& policy, Reply& reply)
{
    return exchange(request, policy, reply, [](Request&) {});
}

template <typename OnRetry>
LinkResult TerminalClient::exchange(Request& request, const RetryPolicy& policy, Reply& reply,
                                    OnRetry onRetry)
{
    const std::uint8_t sequence = ++m_sequence;
    const std::uint8_t expectedType = replyType(request.type);
    // Whatever is still arriving for an earlier request is of no use now.
    m_port.discardInput();
    m_decoder.setMaxPayload(kMaxPayload);

    const auto start = Clock::now();
    const auto budgetEnd =
        policy.budget.count() > 0 ? start + policy.budget : Clock::time_point::max();
    const auto characterTime = m_port.characterTime();
    bool heardAnything = false;
    int silentInARow = 0;
    std::array<char, 2048> buffer{};

    for (int attempt = 0; attempt < policy.attempts; ++attempt) {
        if (attempt > 0) {
            onRetry(request);
        }
        m_retries = attempt;
        // A candidate frame still waiting for bytes is a false start (the line has been quiet):
        // it must not swallow the reply to this attempt.
        m_decoder.reset();
        const std::string bytes = encodeFrame(requestFrame(sequence, request));
        const auto leftAt = send(bytes);
        if (!leftAt) {
            return LinkResult::CommError;
        }
        // The request may still be leaving a slow line: the answer time counts from its end.
        const auto sentAt = *leftAt;
        const auto firstByteDeadline = std::min(sentAt + policy.answerTime, budgetEnd);
        // Bytes that keep coming without ever forming our reply cannot hold the attempt longer
        // than two of the largest frames take on the line.
        const auto attemptEnd =
            std::min(firstByteDeadline + characterTime * static_cast<long>(2 * kMaxFrameSize) +
                         milliseconds(1000),
                     budgetEnd);
        const auto quiet = quietTime();
        // The reply, if it is among the frames found so far.
        const auto takeReply = [&]() {
            while (auto frame = m_decoder.next()) {
                // Replies to earlier requests (same call resent, or a call given up) are stale.
                if (frame->sequence != sequence || frame->type != expectedType) {
                    continue;
                }
                if (auto decoded = decodeReply(*frame)) {
                    reply = std::move(*decoded);
                    return true;
                }
            }
            return false;
        };
        bool heard = false;
        bool answering = false; // more than idle fill has come since the request
        auto lastByte = sentAt;
        for (;;) {
            // A damaged reply does not end the attempt: its tail may still be on the line, and
            // a resend now would meet it. The attempt ends when the line has gone quiet.
            const auto deadline = answering
                                      ? std::min(std::max(lastByte, sentAt) + quiet, attemptEnd)
                                      : firstByteDeadline;
            const auto now = Clock::now();
            if (now >= deadline) {
                break;
            }
            const auto got = m_port.read(buffer.data(), buffer.size(), roundUp(deadline - now));
            if (got.failed) {
                return LinkResult::CommError;
            }
            if (got.count == 0) {
                continue;
            }
            heard = true;
            lastByte = Clock::now();
            answering = answering || beyondIdleFill(buffer.data(), got.count);
            m_decoder.push(std::string_view(buffer.data(), got.count));
            if (takeReply()) {
                return LinkResult::Ok;
            }
        }
        // The line is quiet: a frame still waiting for bytes was a false start, and the reply
        // may be among the bytes it held back.
        while (m_decoder.pending() > 0) {
            m_decoder.dropIncomplete();
            if (takeReply()) {
                return LinkResult::Ok;
            }
        }
        if (heard) {
            heardAnything = true;
            silentInARow = 0;
        } else if (++silentInARow >= 2) {
            // Two requests in a row met silence: nobody is there (any more).
            return LinkResult::NoTerminal;
        }
        if (Clock::now() >= budgetEnd) {
            break;
        }
    }
    return heardAnything ? LinkResult::CommError : LinkResult::NoTerminal;
}

std::optional<Clock::time_point> TerminalClient::send(const std::string& bytes)
{
    const auto sendTime = m_port.characterTime() * static_cast<long>(bytes.size());
    if (!m_port.write(bytes, roundUp(sendTime * 2) + milliseconds(500))) {
        return std::nullopt;
    }
    // A serial port sends in order: these bytes leave the line after what was sent before
    // (a long list chunk may still be on its way) and their own time at the port's speed.
    m_lineFreeAt = std::max(Clock::now(), m_lineFreeAt) + sendTime;
    return m_lineFreeAt;
}

std::chrono::microseconds TerminalClient::quietTime() const
{
    return std::max<std::chrono::microseconds>(m_port.characterTime() * kQuietCharacters,
                                               kQuietFloor);
}

void TerminalClient::shrinkBlock()
{
    m_blockSize = std::max(kMinBlock, m_blockSize / 4);
}

void TerminalClient::growBlock()
{
    m_blockSize = std::min(kMaxBlock, m_blockSize * 2);
}

TerminalClient::CallResult TerminalClient::check()
{
    Request request;
    request.type = MessageType::Check;
    request.call = ++m_call;
    Reply reply;
    CallResult result;
    result.link = exchange(request, kCheckPolicy, reply);
    result.status = reply.status;
    result.terminalId = reply.terminalId;
    return result;
}

TerminalClient::CallResult TerminalClient::read(Scope scope, std::uint32_t document,
                                                std::string& stream)
{
    if (!m_streamingUnsupported) {
        CallResult result = readStreamed(scope, document, stream);
        if (result.link != LinkResult::Ok || result.status != Status::Unsupported) {
            return result;
        }
        // A terminal that only pages: ask it page by page from now on.
        m_streamingUnsupported = true;
    }
    return readPaged(scope, document, stream);
}

Request TerminalClient::readRequest(MessageType type, Scope scope, std::uint32_t document)
{
    Request request;
    request.type = type;
    request.call = ++m_call;
    request.scope = scope;
    request.document = document;
    return request;
}

TerminalClient::CallResult TerminalClient::readStreamed(Scope scope, std::uint32_t document,
                                                        std::string& stream)
{
    stream.clear();
    Request request = readRequest(MessageType::ReadChunks, scope, document);
    CallResult result;
    StreamAssembly assembly;
    int silentInARow = 0;
    int fruitless = 0;

    while (!assembly.complete()) {
        const std::size_t chunkSize = m_lineErrors.chunkSize();
        request.chunkSize = static_cast<std::uint16_t>(chunkSize);
        request.ranges = assembly.plan(m_window, kRangesPerRequest);
        m_window = std::min(m_window * 2, kStreamWindow);
        const std::uint64_t heldBefore = assembly.held();
        const bool totalBefore = assembly.total().has_value();
        const StreamAttempt attempt = streamAttempt(request, assembly, result);

        if (attempt.portFailed || attempt.broken) {
            result.link = LinkResult::CommError;
            return result;
        }
        if (attempt.answered && result.status != Status::Ok) {
            result.link = LinkResult::Ok;
            return result;
        }
        if (!attempt.heard) {
            // Two requests in a row met silence: nobody is there (any more).
            if (++silentInARow >= 2) {
                result.link = LinkResult::NoTerminal;
                return result;
            }
            continue;
        }
        silentInARow = 0;
        m_lineErrors.record(attempt.chunksWanted, attempt.chunksArrived,
                            chunkSize + kChunkOverhead);
        const bool progress = assembly.held() > heldBefore || (assembly.total() && !totalBefore);
        if (progress) {
            fruitless = 0;
        } else if (++fruitless >= kDataPolicy.attempts) {
            result.link = LinkResult::CommError;
            return result;
        }
    }
    result.link = LinkResult::Ok;
    stream = assembly.take();
    return result;
}

TerminalClient::StreamAttempt
TerminalClient::streamAttempt(const Request& request, StreamAssembly& assembly, CallResult& result)
{
    StreamAttempt attempt;
    const std::size_t chunkSize = request.chunkSize;
    const std::vector<ByteRange> chunks = chunksOf(request.ranges, chunkSize);
    std::vector<bool> arrived(chunks.size(), false);
    const std::uint8_t sequence = ++m_sequence;
    std::array<char, 4096> buffer{};

    m_port.discardInput();
    m_decoder.reset();
    m_decoder.setMaxPayload(std::max(chunkSize + kChunkOverhead, kReplyPayloadLimit));
    const auto leftAt = send(encodeFrame(requestFrame(sequence, request)));
    if (!leftAt) {
        attempt.portFailed = true;
        return attempt;
    }
    // The answer's time follows its size at the line's speed, with room for a slow PC.
    const auto sentAt = *leftAt;
    const auto firstByteDeadline = sentAt + kDataPolicy.answerTime;
    std::size_t answerBytes = kReplyPayloadLimit;
    for (const ByteRange& chunk : chunks) {
        answerBytes += chunk.length + kChunkOverhead;
    }
    const auto attemptEnd = firstByteDeadline +
                            m_port.characterTime() * static_cast<long>(answerBytes * 3 / 2) +
                            milliseconds(1000);
    const auto quiet = quietTime();

    // How many of the chunks asked for lie inside the stream, once its length is known.
    const auto chunksInStream = [&]() {
        return static_cast<std::size_t>(
            std::count_if(chunks.begin(), chunks.end(), [&](const ByteRange& chunk) {
                return chunk.offset < *assembly.total();
            }));
    };
    bool answering = false; // more than idle fill has come since the request
    auto lastByte = sentAt;
    const auto takeFrames = [&]() {
        while (auto frame = m_decoder.next()) {
            if (frame->sequence != sequence) {
                continue; // the tail of an answer given up on
            }
            if (frame->type == replyType(MessageType::ReadChunks)) {
                const auto reply = decodeReply(*frame);
                if (!reply) {
                    continue;
                }
                attempt.answered = true;
                result.status = reply->status;
                result.terminalId = reply->terminalId;
                if (reply->status == Status::Ok && !assembly.setTotal(reply->total)) {
                    attempt.broken = true;
                }
                continue;
            }
            const auto chunk = decodeChunk(*frame);
            if (!chunk || chunk->index >= chunks.size() || arrived[chunk->index]) {
                continue;
            }
            const ByteRange& wanted = chunks[chunk->index];
            // Only the chunk at the end of the stream may come short.
            const bool fits = !chunk->data.empty() && chunk->data.size() <= wanted.length &&
                              (chunk->data.size() == wanted.length || !assembly.total() ||
                               wanted.offset + chunk->data.size() == *assembly.total());
            if (!fits || !assembly.place(wanted.offset, chunk->data)) {
                attempt.broken = true;
                continue;
            }
            arrived[chunk->index] = true;
            ++attempt.chunksArrived;
        }
    };
    const auto done = [&]() {
        return attempt.broken || (attempt.answered && result.status != Status::Ok) ||
               (assembly.total() && attempt.chunksArrived == chunksInStream());
    };

    while (!done()) {
        const auto deadline = answering ? std::min(std::max(lastByte, sentAt) + quiet, attemptEnd)
                                        : firstByteDeadline;
        const auto now = Clock::now();
        if (now >= deadline) {
            // Quiet: a frame still waiting for bytes was a false start holding others back.
            while (m_decoder.pending() > 0 && !done()) {
                m_decoder.dropIncomplete();
                takeFrames();
            }
            break;
        }
        const auto got = m_port.read(buffer.data(), buffer.size(), roundUp(deadline - now));
        if (got.failed) {
            attempt.portFailed = true;
            return attempt;
        }
        if (got.count == 0) {
            continue;
        }
        attempt.heard = true;
        lastByte = Clock::now();
        answering = answering || beyondIdleFill(buffer.data(), got.count);
        m_decoder.push(std::string_view(buffer.data(), got.count));
        const std::uint64_t heldBeforeFrames = assembly.held();
        takeFrames();
        if (m_bytesReceived && assembly.held() > heldBeforeFrames) {
            m_bytesReceived(assembly.held(), assembly.contiguous());
        }
    }
    attempt.chunksWanted = assembly.total() ? chunksInStream() : chunks.size();
    return attempt;
}

TerminalClient::CallResult TerminalClient::readPaged(Scope scope, std::uint32_t document,
                                                     std::string& stream)
{
    stream.clear();
    Request request = readRequest(MessageType::Read, scope, document);
    CallResult result;
    std::uint32_t total = 0;
    for (;;) {
        request.offset = static_cast<std::uint32_t>(stream.size());
        request.maxBytes = static_cast<std::uint16_t>(m_blockSize);
        Reply reply;
        result.link = exchange(request, kDataPolicy, reply, [this](Request& retried) {
            shrinkBlock();
            retried.maxBytes = static_cast<std::uint16_t>(m_blockSize);
        });
        if (result.link != LinkResult::Ok) {
            return result;
        }
        result.status = reply.status;
        result.terminalId = reply.terminalId;
        if (reply.status != Status::Ok) {
            return result;
        }
        if (request.offset == 0) {
            total = reply.total;
            if (total > kMaxStream) {
                result.link = LinkResult::CommError;
                return result;
            }
            stream.reserve(total);
        }
        // The stream is fixed for the whole call; anything else means the terminal is not
        // answering what was asked.
        const bool consistent = reply.total == total && reply.offset == request.offset &&
                                reply.data.size() <= total - request.offset &&
                                (!reply.data.empty() || request.offset == total);
        if (!consistent) {
            result.link = LinkResult::CommError;
            return result;
        }
        stream += reply.data;
        if (m_bytesReceived && !reply.data.empty()) {
            m_bytesReceived(stream.size(), stream);
        }
        if (m_retries == 0) {
            growBlock();
        }
        if (stream.size() >= total) {
            return result;
        }
    }
}

TerminalClient::CallResult TerminalClient::command(MessageType type, std::int32_t position)
{
    Request request;
    request.type = type;
    request.call = ++m_call;
    request.position = position;
    Reply reply;
    CallResult result;
    result.link = exchange(request, kDataPolicy, reply);
    result.status = reply.status;
    result.terminalId = reply.terminalId;
    return result;
}

TerminalClient::CallResult TerminalClient::sendList(std::int32_t position,
                                                    std::string_view userVariable,
                                                    std::string_view data)
{
    CallResult result;
    Request request;
    request.call = ++m_call;
    request.position = position;
    request.total = static_cast<std::uint32_t>(data.size());
    Reply reply;

    const auto finish = [&](LinkResult link) {
        result.link = link;
        result.status = reply.status;
        result.terminalId = reply.terminalId;
        return result.ok();
    };

    request.type = MessageType::ListBegin;
    request.data = std::string(userVariable);
    if (!finish(exchange(request, kDataPolicy, reply))) {
        return result;
    }

    request.type = MessageType::ListData;
    std::size_t offset = 0;
    int lostInARow = 0;
    while (offset < data.size()) {
        request.offset = static_cast<std::uint32_t>(offset);
        request.data = std::string(data.substr(offset, m_blockSize));
        // When no answer came, the chunk may have arrived all the same and only the answer was
        // lost: ask with an empty chunk how much the terminal holds rather than send it again.
        const LinkResult link =
            exchange(request, kDataPolicy, reply, [](Request& retried) { retried.data.clear(); });
        if (!finish(link)) {
            return result;
        }
        // The terminal says how much it holds: never less than before, never more than the list.
        if (reply.total < offset || reply.total > data.size()) {
            result.link = LinkResult::CommError;
            return result;
        }
        if (reply.total == offset) {
            // The chunk itself was lost (a terminal that takes a chunk always counts it): send
            // it again, smaller.
            if (m_retries == 0 || ++lostInARow >= kDataPolicy.attempts) {
                result.link = LinkResult::CommError;
                return result;
            }
            shrinkBlock();
            continue;
        }
        lostInARow = 0;
        offset = reply.total;
        growBlock();
    }

    request.type = MessageType::ListEnd;
    request.data.clear();
    finish(exchange(request, kDataPolicy, reply));
    return result;
}

} // namespace vorlak
