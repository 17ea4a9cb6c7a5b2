#include "messages.h"

#include "bytes.h"

#include <algorithm>
#include <cstdint>

namespace vorlak::protocol {
namespace {

bool isRequestType(std::uint8_t type)
{
    return type >= static_cast<std::uint8_t>(MessageType::Check) &&
           type <= static_cast<std::uint8_t>(MessageType::ReadChunks);
}

bool isScope(std::uint8_t scope)
{
    return scope >= static_cast<std::uint8_t>(Scope::Header) &&
           scope <= static_cast<std::uint8_t>(Scope::HeaderTemplate);
}

// The ranges of a ReadChunks request: their count, then for each the distance from the end of
// the one before (from 0 for the first) and its length, so that near ranges cost a byte or two.
void writeRanges(ByteWriter& out, const std::vector<ByteRange>& ranges)
{
    out.varint(static_cast<std::uint32_t>(ranges.size()));
    std::uint32_t end = 0;
    for (const ByteRange& range : ranges) {
        out.varint(range.offset - end);
        out.varint(range.length);
        end = range.offset + range.length;
    }
}

// Ranges that overlap, go backwards, are empty, lie past 4 GiB or ask for more than one request
// may carry make the request malformed.
bool readRanges(ByteReader& in, std::vector<ByteRange>& ranges)
{
    const std::uint32_t count = in.varint();
    if (count == 0 || count > kMaxChunkRanges) {
        return false;
    }
    std::uint64_t end = 0;
    std::uint64_t bytes = 0;
    for (std::uint32_t i = 0; i < count && in.ok(); ++i) {
        const std::uint64_t offset = end + in.varint();
        const std::uint32_t length = in.varint();
        end = offset + length;
        bytes += length;
        if (length == 0 || end > UINT32_MAX || bytes > kMaxChunkRequestBytes) {
            return false;
        }
        ranges.push_back({static_cast<std::uint32_t>(offset), length});
    }
    return in.ok();
}

} // namespace

std::vector<ByteRange> chunksOf(const std::vector<ByteRange>& ranges, std::size_t chunkSize)
{
    std::vector<ByteRange> chunks;
    const auto size = static_cast<std::uint32_t>(std::max<std::size_t>(chunkSize, 1));
    for (const ByteRange& range : ranges) {
        for (std::uint32_t done = 0; done < range.length; done += size) {
            chunks.push_back({range.offset + done, std::min(size, range.length - done)});
        }
    }
    return chunks;
}

Frame chunkFrame(std::uint8_t sequence, const Chunk& chunk)
{
    ByteWriter out;
    out.varint(chunk.index);
    out.bytes(chunk.data);
    return Frame{sequence, kChunkFrameType, std::move(out).result()};
}

std::optional<Chunk> decodeChunk(const Frame& frame)
{
    if (frame.type != kChunkFrameType) {
        return std::nullopt;
    }
    ByteReader in(frame.payload);
    Chunk chunk;
    chunk.index = in.varint();
    chunk.data = in.rest();
    if (!in.ok() || chunk.index >= kMaxChunksPerRequest || chunk.data.size() > kMaxChunk) {
        return std::nullopt;
    }
    return chunk;
}

Frame requestFrame(std::uint8_t sequence, const Request& request)
{
    ByteWriter out;
    out.u16(request.call);
    switch (request.type) {
    case MessageType::Check:
    case MessageType::ClearAll:
    case MessageType::Kill:
        break;
    case MessageType::Read:
        out.u8(static_cast<std::uint8_t>(request.scope));
        out.u32(request.document);
        out.u32(request.offset);
        out.u16(request.maxBytes);
        break;
    case MessageType::ClearList:
        out.i32(request.position);
        break;
    case MessageType::ListBegin:
        out.i32(request.position);
        out.u32(request.total);
        out.text(request.data);
        break;
    case MessageType::ListData:
        out.u32(request.offset);
        out.bytes(request.data);
        break;
    case MessageType::ListEnd:
        out.u32(request.total);
        break;
    case MessageType::ReadChunks:
        out.u8(static_cast<std::uint8_t>(request.scope));
        out.u32(request.document);
        out.u16(request.chunkSize);
        writeRanges(out, request.ranges);
        break;
    }
    return Frame{sequence, static_cast<std::uint8_t>(request.type), std::move(out).result()};
}

Frame replyFrame(std::uint8_t sequence, const Reply& reply)
{
    ByteWriter out;
    out.u8(static_cast<std::uint8_t>(reply.status));
    out.text(reply.terminalId.substr(0, kMaxIdentity));
    switch (reply.type) {
    case MessageType::Check:
        out.u8(reply.version);
        break;
    case MessageType::Read:
        out.u32(reply.total);
        out.u32(reply.offset);
        out.bytes(reply.data);
        break;
    case MessageType::ListData:
    case MessageType::ReadChunks:
        out.u32(reply.total);
        break;
    case MessageType::ClearAll:
    case MessageType::ClearList:
    case MessageType::Kill:
    case MessageType::ListBegin:
    case MessageType::ListEnd:
        break;
    }
    return Frame{sequence, replyType(reply.type), std::move(out).result()};
}

std::optional<Request> decodeRequest(const Frame& frame)
{
    if (!isRequestType(frame.type)) {
        return std::nullopt;
    }
    Request request;
    request.type = static_cast<MessageType>(frame.type);
    ByteReader in(frame.payload);
    request.call = in.u16();
    switch (request.type) {
    case MessageType::Check:
    case MessageType::ClearAll:
    case MessageType::Kill:
        break;
    case MessageType::Read: {
        const std::uint8_t scope = in.u8();
        if (!isScope(scope)) {
            return std::nullopt;
        }
        request.scope = static_cast<Scope>(scope);
        request.document = in.u32();
        request.offset = in.u32();
        request.maxBytes = in.u16();
        break;
    }
    case MessageType::ClearList:
        request.position = in.i32();
        break;
    case MessageType::ListBegin:
        request.position = in.i32();
        request.total = in.u32();
        request.data = in.text();
        break;
    case MessageType::ListData:
        request.offset = in.u32();
        request.data = in.rest();
        break;
    case MessageType::ListEnd:
        request.total = in.u32();
        break;
    case MessageType::ReadChunks: {
        const std::uint8_t scope = in.u8();
        if (!isScope(scope)) {
            return std::nullopt;
        }
        request.scope = static_cast<Scope>(scope);
        request.document = in.u32();
        request.chunkSize = in.u16();
        if (request.chunkSize < kMinChunk || request.chunkSize > kMaxChunk ||
            !readRanges(in, request.ranges) ||
            chunksOf(request.ranges, request.chunkSize).size() > kMaxChunksPerRequest) {
            return std::nullopt;
        }
        break;
    }
    }
    if (!in.ok() || !in.atEnd()) {
        return std::nullopt;
    }
    return request;
}

std::optional<Reply> decodeReply(const Frame& frame)
{
    const auto requestType = static_cast<std::uint8_t>(frame.type & 0x7FU);
    if ((frame.type & kReplyBit) == 0 || !isRequestType(requestType)) {
        return std::nullopt;
    }
    Reply reply;
    reply.type = static_cast<MessageType>(requestType);
    ByteReader in(frame.payload);
    const std::uint8_t status = in.u8();
    if (status > static_cast<std::uint8_t>(Status::Unsupported)) {
        return std::nullopt;
    }
    reply.status = static_cast<Status>(status);
    reply.terminalId = in.text();
    // A terminal that does not know a request says only that.
    if (reply.status == Status::Unsupported && in.ok() && in.atEnd()) {
        return reply.terminalId.size() <= kMaxIdentity ? std::optional(reply) : std::nullopt;
    }
    switch (reply.type) {
    case MessageType::Check:
        reply.version = in.u8();
        break;
    case MessageType::Read:
        reply.total = in.u32();
        reply.offset = in.u32();
        reply.data = in.rest();
        break;
    case MessageType::ListData:
    case MessageType::ReadChunks:
        reply.total = in.u32();
        break;
    case MessageType::ClearAll:
    case MessageType::ClearList:
    case MessageType::Kill:
    case MessageType::ListBegin:
    case MessageType::ListEnd:
        break;
    }
    if (!in.ok() || !in.atEnd() || reply.terminalId.size() > kMaxIdentity) {
        return std::nullopt;
    }
    return reply;
}

} // namespace vorlak::protocol
