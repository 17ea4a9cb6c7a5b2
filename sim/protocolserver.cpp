#include "protocolserver.h"

#include "protocol/bytes.h"
#include "protocol/recordstream.h"
#include "terminalstate.h"

#include <algorithm>

namespace qelsim {

using namespace vorlak::protocol;

namespace {

// After each reply the terminal sends two idle bytes. When the line lost a byte of the reply,
// they complete the frame the PC is waiting for, so its CRC fails at once instead of the PC
// waiting for a byte that never comes.
constexpr std::string_view kIdleFill = "\xFF\xFF";

// A partial frame older than this is dropped when bytes come again.
constexpr std::chrono::milliseconds kStaleInput{100};

// A list larger than this does not fit in a terminal.
constexpr std::uint32_t kMaxList = 16U * 1024U * 1024U;

std::string readLogLine(Scope scope, std::uint32_t document)
{
    switch (scope) {
    case Scope::Header:
        return "I_ReadHeader -" + std::to_string(document);
    case Scope::DocumentEntries:
        return "I_ReadEntries -" + std::to_string(document);
    case Scope::AllEntries:
        return "I_ReadEntries -1";
    case Scope::BodyTemplate:
        return "I_ReadEntriesConfig";
    case Scope::HeaderTemplate:
        return "I_ReadHeadersConfig";
    }
    return {};
}

} // namespace

ProtocolServer::ProtocolServer(TerminalState& state)
    : m_state(state)
{
}

void ProtocolServer::reset()
{
    m_decoder.reset();
    m_loggedCall.reset();
    m_snapshot.reset();
    m_upload.reset();
    m_storedCall.reset();
}

bool ProtocolServer::inFrame(Clock::time_point now) const
{
    return m_decoder.pending() > 0 && now - m_lastInput <= kStaleInput;
}

void ProtocolServer::onBytes(std::string_view in, std::string& out)
{
    // The PC sends each request in one go and resends only after waiting for the reply, so a
    // frame still incomplete after a quiet spell is a false start in line noise: drop it before
    // it swallows the resend.
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastInput > kStaleInput) {
        m_decoder.reset();
    }
    m_lastInput = now;
    m_decoder.push(in);
    while (auto frame = m_decoder.next()) {
        if ((frame->type & kReplyBit) != 0) {
            continue; // not for us
        }
        const auto request = decodeRequest(*frame);
        if (request) {
            const Reply reply = serve(*request);
            out += encodeFrame(replyFrame(frame->sequence, reply));
            if (request->type == MessageType::ReadChunks && reply.status == Status::Ok) {
                sendChunks(frame->sequence, *request, out);
            }
        } else {
            // A request this terminal does not know: say so rather than stay silent, which the
            // PC would take for an empty cradle.
            ByteWriter payload;
            payload.u8(static_cast<std::uint8_t>(Status::Unsupported));
            payload.text(m_state.id().substr(0, kMaxIdentity));
            out += encodeFrame(Frame{frame->sequence,
                                     static_cast<std::uint8_t>(frame->type | kReplyBit),
                                     std::move(payload).result()});
        }
        out += kIdleFill;
    }
}

void ProtocolServer::logCall(std::uint16_t call, const std::string& line)
{
    if (m_loggedCall == call) {
        return;
    }
    m_loggedCall = call;
    m_state.logEvent(line);
}

Reply ProtocolServer::serve(const Request& request)
{
    Reply reply;
    switch (request.type) {
    case MessageType::Check:
        reply.version = kProtocolVersion;
        logCall(request.call, "I_CheckTerminal");
        break;
    case MessageType::Read:
        reply = read(request);
        break;
    case MessageType::ReadChunks:
        takeSnapshot(request);
        logCall(request.call, readLogLine(request.scope, request.document));
        reply.status = m_snapshot->status;
        reply.total = static_cast<std::uint32_t>(m_snapshot->bytes.size());
        break;
    case MessageType::ClearAll:
        if (m_loggedCall != request.call) {
            m_state.clearAll();
            m_snapshot.reset();
        }
        logCall(request.call, "I_ClearAllEntries");
        break;
    case MessageType::ClearList:
        if (request.position < 0) {
            reply.status = Status::Rejected;
            break;
        }
        if (m_loggedCall != request.call) {
            m_state.clearList(request.position);
        }
        logCall(request.call, "I_ClearEntries " + std::to_string(request.position));
        break;
    case MessageType::Kill:
        // The simulated terminal runs no program that could be stopped; it only acknowledges.
        logCall(request.call, "I_KillProgram");
        break;
    case MessageType::ListBegin:
        reply = listBegin(request);
        break;
    case MessageType::ListData:
        reply = listData(request);
        break;
    case MessageType::ListEnd:
        reply = listEnd(request);
        break;
    }
    reply.type = request.type;
    reply.terminalId = m_state.id().substr(0, kMaxIdentity);
    return reply;
}

void ProtocolServer::takeSnapshot(const Request& request)
{
    if (!m_snapshot || m_snapshot->call != request.call || m_snapshot->scope != request.scope ||
        m_snapshot->document != request.document) {
        Snapshot snapshot;
        snapshot.call = request.call;
        snapshot.scope = request.scope;
        snapshot.document = request.document;
        const auto& documents = m_state.documents();
        const bool documentExists = request.document >= 1 && request.document <= documents.size();
        switch (request.scope) {
        case Scope::Header:
        case Scope::DocumentEntries:
            if (!documentExists) {
                snapshot.status = Status::NoSuchDocument;
                break;
            }
            {
                const Document& document = documents[request.document - 1];
                snapshot.bytes = request.scope == Scope::Header ? encodeRecords({document.header})
                                                                : encodeRecords(document.entries);
            }
            break;
        case Scope::AllEntries: {
            std::vector<vorlak::Record> entries;
            for (const Document& document : documents) {
                entries.insert(entries.end(), document.entries.begin(), document.entries.end());
            }
            snapshot.bytes = encodeRecords(entries);
            break;
        }
        case Scope::BodyTemplate:
            snapshot.bytes = m_state.bodyTemplate();
            break;
        case Scope::HeaderTemplate:
            snapshot.bytes = m_state.headerTemplate();
            break;
        }
        m_snapshot = std::move(snapshot);
    }
}

void ProtocolServer::sendChunks(std::uint8_t sequence, const Request& request,
                                std::string& out) const
{
    // Chunks go back to back; what lies past the end of the stream is not sent.
    const std::string& bytes = m_snapshot->bytes;
    const auto chunks = chunksOf(request.ranges, request.chunkSize);
    for (std::size_t index = 0; index < chunks.size(); ++index) {
        const ByteRange& chunk = chunks[index];
        if (chunk.offset >= bytes.size()) {
            continue;
        }
        out += encodeFrame(chunkFrame(sequence, Chunk{static_cast<std::uint32_t>(index),
                                                      bytes.substr(chunk.offset, chunk.length)}));
    }
}

Reply ProtocolServer::read(const Request& request)
{
    takeSnapshot(request);
    logCall(request.call, readLogLine(request.scope, request.document));

    Reply reply;
    reply.status = m_snapshot->status;
    if (reply.status != Status::Ok) {
        return reply;
    }
    const std::string& bytes = m_snapshot->bytes;
    if (request.offset > bytes.size()) {
        reply.status = Status::Rejected;
        return reply;
    }
    reply.total = static_cast<std::uint32_t>(bytes.size());
    reply.offset = request.offset;
    const std::size_t block = std::min<std::size_t>(request.maxBytes, kMaxBlock);
    reply.data = bytes.substr(request.offset, block);
    return reply;
}

Reply ProtocolServer::listBegin(const Request& request)
{
    Reply reply;
    if (request.position < 0 || request.total > kMaxList ||
        request.data.size() > kMaxUserVariable) {
        reply.status = Status::Rejected;
        return reply;
    }
    // The same call beginning again is a resend: what has arrived since stays.
    if (!m_upload || m_upload->call != request.call) {
        m_upload = Upload{request.call, request.position, request.total, request.data, {}};
    }
    return reply;
}

Reply ProtocolServer::listData(const Request& request)
{
    Reply reply;
    if (!m_upload || m_upload->call != request.call || request.offset > m_upload->data.size() ||
        request.data.size() > m_upload->total - request.offset) {
        reply.status = Status::Rejected;
        return reply;
    }
    // Resent bytes land where they were before; only what is new extends the list.
    std::string& data = m_upload->data;
    const std::size_t overlap = std::min(request.data.size(), data.size() - request.offset);
    data.replace(request.offset, overlap, request.data);
    reply.total = static_cast<std::uint32_t>(data.size());
    return reply;
}

Reply ProtocolServer::listEnd(const Request& request)
{
    Reply reply;
    if (m_storedCall == request.call) {
        return reply; // stored already; this is a resend
    }
    if (!m_upload || m_upload->call != request.call || m_upload->total != request.total ||
        m_upload->data.size() != request.total) {
        reply.status = Status::Rejected;
        return reply;
    }
    m_state.storeList(m_upload->position, m_upload->data, m_upload->userVariable);
    logCall(request.call, "I_SendList " + std::to_string(m_upload->position) + " " +
                              std::to_string(m_upload->total));
    m_storedCall = request.call;
    m_upload.reset();
    return reply;
}

} // namespace qelsim
