#pragma once

#include "linehandler.h"
#include "protocol/frame.h"
#include "protocol/messages.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qelsim {

class TerminalState;

/// The terminal's side of the wire protocol (docs/protocol.md): finds request frames in what the
/// PC sends, serves them from the terminal's state and answers each with one reply frame.
///
/// Every request can arrive more than once (the PC resends when a reply is lost or damaged), so
/// serving one twice must change nothing: reads name a byte offset in a stream fixed for the
/// whole library call, list chunks name their offset, clearing twice clears once. events.log
/// gets one line per library call, written when the first of its requests is served (for a
/// list, when the list is stored), however many frames and resends the call takes.
class ProtocolServer : public LineHandler
{
public:
    explicit ProtocolServer(TerminalState& state);

    void onBytes(std::string_view in, std::string& out) override;
    void reset() override;

    /// Part of a request frame has arrived and the rest may still come: a frame is not given up
    /// before the line has been quiet for a while.
    [[nodiscard]] bool inFrame(Clock::time_point now) const;

private:
    [[nodiscard]] vorlak::protocol::Reply serve(const vorlak::protocol::Request& request);
    [[nodiscard]] vorlak::protocol::Reply read(const vorlak::protocol::Request& request);
    /// Takes the stream a Read or ReadChunks request names (once per library call).
    void takeSnapshot(const vorlak::protocol::Request& request);
    /// Appends the chunk frames a ReadChunks request asks for (after its reply) to `out`.
    void sendChunks(std::uint8_t sequence, const vorlak::protocol::Request& request,
                    std::string& out) const;
    [[nodiscard]] vorlak::protocol::Reply listBegin(const vorlak::protocol::Request& request);
    [[nodiscard]] vorlak::protocol::Reply listData(const vorlak::protocol::Request& request);
    [[nodiscard]] vorlak::protocol::Reply listEnd(const vorlak::protocol::Request& request);
    void logCall(std::uint16_t call, const std::string& line);

    TerminalState& m_state;
    vorlak::protocol::FrameDecoder m_decoder;
    std::chrono::steady_clock::time_point m_lastInput{};
    std::optional<std::uint16_t> m_loggedCall;

    /// The stream a Read call is paging through, taken when its first request came.
    struct Snapshot
    {
        std::uint16_t call = 0;
        vorlak::protocol::Scope scope = vorlak::protocol::Scope::Header;
        std::uint32_t document = 0;
        vorlak::protocol::Status status = vorlak::protocol::Status::Ok;
        std::string bytes;
    };
    std::optional<Snapshot> m_snapshot;

    /// The list an I_SendList call is sending.
    struct Upload
    {
        std::uint16_t call = 0;
        std::int32_t position = 0;
        std::uint32_t total = 0;
        std::string userVariable;
        std::string data;
    };
    std::optional<Upload> m_upload;
    std::optional<std::uint16_t> m_storedCall;
};

} // namespace qelsim
