#include "terminalclient.h"

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
        // A candidate frame still waiting for bytes is a false start (the line is quiet or a
        // damaged frame just ended): it must not swallow the reply to this attempt.
        m_decoder.reset();
        const std::string bytes = encodeFrame(requestFrame(sequence, request));
        const auto sendTime = characterTime * static_cast<long>(bytes.size());
        if (!m_port.write(bytes, roundUp(sendTime * 2) + milliseconds(500))) {
            return LinkResult::CommError;
        }
        // The request may still be leaving a slow line: the answer time counts from its end.
        const auto sentAt = Clock::now();
        const auto firstByteDeadline = std::min(sentAt + sendTime + policy.answerTime, budgetEnd);
        // Bytes that keep coming without ever forming our reply cannot hold the attempt longer
        // than two of the largest frames take on the line.
        const auto attemptEnd =
            std::min(firstByteDeadline + characterTime * static_cast<long>(2 * kMaxFrameSize) +
                         milliseconds(1000),
                     budgetEnd);
        const auto rejectedBefore = m_decoder.rejectedFrames();
        bool heard = false;
        auto lastByte = sentAt;
        for (;;) {
            const auto deadline =
                heard ? std::min(lastByte + kGapTime, attemptEnd) : firstByteDeadline;
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
            m_decoder.push(std::string_view(buffer.data(), got.count));
            while (auto frame = m_decoder.next()) {
                // Replies to earlier requests (same call resent, or a call given up) are stale.
                if (frame->sequence != sequence || frame->type != expectedType) {
                    continue;
                }
                if (auto decoded = decodeReply(*frame)) {
                    reply = std::move(*decoded);
                    return LinkResult::Ok;
                }
            }
            // A damaged frame: the terminal has finished answering; ask again at once rather
            // than wait for the line to go quiet.
            if (m_decoder.rejectedFrames() != rejectedBefore) {
                break;
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
    stream.clear();
    Request request;
    request.type = MessageType::Read;
    request.call = ++m_call;
    request.scope = scope;
    request.document = document;
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
    while (offset < data.size()) {
        request.offset = static_cast<std::uint32_t>(offset);
        request.data = std::string(data.substr(offset, m_blockSize));
        const LinkResult link = exchange(request, kDataPolicy, reply, [&](Request& retried) {
            shrinkBlock();
            retried.data = std::string(data.substr(offset, m_blockSize));
        });
        if (!finish(link)) {
            return result;
        }
        // The terminal says how much it holds; a reply to an earlier, longer try of this chunk
        // counts for all it acknowledges.
        if (reply.total <= offset || reply.total > data.size()) {
            result.link = LinkResult::CommError;
            return result;
        }
        offset = reply.total;
        if (m_retries == 0) {
            growBlock();
        }
    }

    request.type = MessageType::ListEnd;
    request.data.clear();
    finish(exchange(request, kDataPolicy, reply));
    return result;
}

} // namespace vorlak
