#pragma once

#include "linehandler.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qelsim {

class ProtocolServer;
class TerminalState;

/// The terminal's program receiver: takes a new terminal program sent raw over the cradle line
/// and passes everything else on to the protocol server.
///
/// An upload is "S", 8 header bytes, the 4 checksum bytes of those 9 bytes, the image, and the 4
/// checksum bytes of the image (vorlak/src/protocol/uploadchecksum.h). Request frames always
/// start with STX, so an "S" arriving while no frame is in progress can only start an upload;
/// from there on every byte belongs to it until the line has been quiet for kEndPause, since the
/// image's length is not sent. Then the receiver answers "OK" CR LF when both checksum pairs
/// hold (the program is kept in the state folder as upload/program.hea and upload/program.bin)
/// and "ERR" CR LF when not, writes UPLOAD OK <image bytes> or UPLOAD BAD to events.log, and
/// hands the line back to the protocol server.
///
/// The first `refuseAttempts` uploads are answered ERR whatever they carry (logged UPLOAD
/// REFUSED <image bytes> when they were intact), so the sender's retries can be tried.
class ProgramReceiver : public LineHandler
{
public:
    /// Quiet time that ends an upload. A sender at 38400 baud keeps its bytes coming: through a
    /// pseudo-terminal on a loaded machine the longest gap measured inside an image written with
    /// IO_Write was 9 ms. 500 ms is more than fifty times that, and short beside the 10 s the
    /// program waits for the reply.
    static constexpr std::chrono::milliseconds kEndPause{500};

    /// Largest image taken (a terminal's program memory is far smaller). The bytes of a longer
    /// one are swallowed until the pause and the upload is answered ERR.
    static constexpr std::size_t kMaxImage = 16U * 1024U * 1024U;

    ProgramReceiver(TerminalState& state, ProtocolServer& protocol, unsigned refuseAttempts);

    void onBytes(std::string_view in, std::string& out) override;
    void reset() override;
    [[nodiscard]] std::optional<Clock::time_point> wakeAt() const override;
    void onTime(Clock::time_point now, std::string& out) override;

    /// An upload is being received.
    [[nodiscard]] bool receiving() const { return m_receiving; }

private:
    void finish(std::string& out);

    TerminalState& m_state;
    ProtocolServer& m_protocol;
    unsigned m_refuseAttempts;
    unsigned m_attempts = 0;

    bool m_receiving = false;
    std::string m_head; // "S", header and their checksums: 13 bytes when complete
    std::string m_body; // image and its checksums
    bool m_overflow = false;
    Clock::time_point m_lastByte{};
};

} // namespace qelsim
