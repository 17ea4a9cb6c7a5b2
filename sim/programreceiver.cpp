#include "programreceiver.h"

#include "protocol/uploadchecksum.h"
#include "protocolserver.h"
#include "terminalstate.h"

#include <algorithm>

namespace qelsim {
namespace {

using vorlak::protocol::uploadChecksum;

constexpr char kUploadStart = 'S';
constexpr std::size_t kHeaderBytes = 8;
constexpr std::size_t kChecksumBytes = 4;
// "S", the header and their checksums.
constexpr std::size_t kHeadBytes = 1 + kHeaderBytes + kChecksumBytes;

constexpr std::string_view kAccepted = "OK\r\n";
constexpr std::string_view kRejected = "ERR\r\n";

} // namespace

ProgramReceiver::ProgramReceiver(TerminalState& state, ProtocolServer& protocol,
                                 unsigned refuseAttempts)
    : m_state(state)
    , m_protocol(protocol)
    , m_refuseAttempts(refuseAttempts)
{
}

void ProgramReceiver::onBytes(std::string_view in, std::string& out)
{
    if (in.empty()) {
        return;
    }
    const auto now = Clock::now();
    if (!m_receiving) {
        if (in.front() != kUploadStart || m_protocol.inFrame(now)) {
            m_protocol.onBytes(in, out);
            return;
        }
        m_receiving = true;
        m_head.clear();
        m_body.clear();
        m_overflow = false;
    }
    m_lastByte = now;
    const std::size_t toHead = std::min(in.size(), kHeadBytes - m_head.size());
    m_head.append(in.substr(0, toHead));
    in.remove_prefix(toHead);
    const std::size_t room = kMaxImage + kChecksumBytes - m_body.size();
    if (in.size() > room) {
        m_overflow = true;
    }
    m_body.append(in.substr(0, std::min(in.size(), room)));
}

void ProgramReceiver::reset()
{
    // Lifted off the cradle mid-upload: the sender gets no answer, as from a real terminal.
    m_receiving = false;
    m_head.clear();
    m_body.clear();
    m_protocol.reset();
}

std::optional<LineHandler::Clock::time_point> ProgramReceiver::wakeAt() const
{
    if (m_receiving) {
        return m_lastByte + kEndPause;
    }
    return m_protocol.wakeAt();
}

void ProgramReceiver::onTime(Clock::time_point now, std::string& out)
{
    if (m_receiving) {
        if (now >= m_lastByte + kEndPause) {
            finish(out);
        }
        return;
    }
    m_protocol.onTime(now, out);
}

void ProgramReceiver::finish(std::string& out)
{
    m_receiving = false;
    ++m_attempts;
    const std::string_view head = m_head;
    const std::string_view body = m_body;
    bool intact = !m_overflow && head.size() == kHeadBytes && body.size() > kChecksumBytes;
    std::string_view image;
    if (intact) {
        image = body.substr(0, body.size() - kChecksumBytes);
        intact = uploadChecksum(head.substr(0, 1 + kHeaderBytes))
                     .matches(head.substr(1 + kHeaderBytes)) &&
                 uploadChecksum(image).matches(body.substr(image.size()));
    }
    if (!intact) {
        out += kRejected;
        m_state.logEvent("UPLOAD BAD");
    } else if (m_attempts <= m_refuseAttempts) {
        out += kRejected;
        m_state.logEvent("UPLOAD REFUSED " + std::to_string(image.size()));
    } else {
        m_state.storeProgram(head.substr(1, kHeaderBytes), image);
        out += kAccepted;
        m_state.logEvent("UPLOAD OK " + std::to_string(image.size()));
    }
    m_head.clear();
    m_body.clear();
    m_body.shrink_to_fit();
}

} // namespace qelsim
