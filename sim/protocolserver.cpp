#include "protocolserver.h"

#include "terminalstate.h"

namespace qelsim {

ProtocolServer::ProtocolServer(TerminalState& state)
    : m_state(state)
{
}

void ProtocolServer::onBytes(std::string_view /*in*/, std::string& /*out*/) {}

} // namespace qelsim
