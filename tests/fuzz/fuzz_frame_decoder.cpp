// Fuzzes the frame decoder and the payload decoders behind it, as bytes from a damaged line.
// The first input byte sets how many bytes are pushed at a time (1 to 64); the rest is the line.
#include "protocol/frame.h"
#include "protocol/messages.h"
#include "protocol/recordstream.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

void checkFrame(const vorlak::protocol::Frame& frame)
{
    using namespace vorlak::protocol;
    check(frame.payload.size() <= kMaxPayload);
    // What the decoder accepts, the encoder writes back so that it decodes the same.
    FrameDecoder again;
    again.push(encodeFrame(frame));
    const auto copy = again.next();
    check(copy && *copy == frame && !again.next());

    if (const auto request = decodeRequest(frame)) {
        check(decodeRequest(requestFrame(frame.sequence, *request)) == request);
    }
    if (const auto chunk = decodeChunk(frame)) {
        check(decodeChunk(chunkFrame(frame.sequence, *chunk)) == chunk);
    }
    if (const auto reply = decodeReply(frame)) {
        check(decodeReply(replyFrame(frame.sequence, *reply)) == reply);
        if (const auto records = decodeRecords(reply->data)) {
            const auto reencoded = decodeRecords(encodeRecords(*records));
            check(reencoded && reencoded->size() == records->size());
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) {
        return 0;
    }
    const std::size_t piece = 1 + data[0] % 64;
    const std::string_view line(reinterpret_cast<const char*>(data) + 1, size - 1);
    vorlak::protocol::FrameDecoder decoder;
    std::size_t frameBytes = 0;
    for (std::size_t at = 0; at < line.size(); at += piece) {
        decoder.push(line.substr(at, piece));
        while (const auto frame = decoder.next()) {
            frameBytes += frame->payload.size() + vorlak::protocol::kHeaderSize +
                          vorlak::protocol::kTrailerSize;
            checkFrame(*frame);
        }
        // Never more held back than one frame can take.
        check(decoder.pending() < vorlak::protocol::kMaxFrameSize);
    }
    check(frameBytes + decoder.skippedBytes() <= line.size());
    return 0;
}
