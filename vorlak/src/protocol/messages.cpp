#include "messages.h"

#include "bytes.h"

namespace vorlak::protocol {
namespace {

bool isRequestType(std::uint8_t type)
{
    return type >= static_cast<std::uint8_t>(MessageType::Check) &&
           type <= static_cast<std::uint8_t>(MessageType::ListEnd);
}

bool isScope(std::uint8_t scope)
{
    return scope >= static_cast<std::uint8_t>(Scope::Header) &&
           scope <= static_cast<std::uint8_t>(Scope::HeaderTemplate);
}

} // namespace

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
