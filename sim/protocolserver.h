#pragma once

#include "linehandler.h"

namespace qelsim {

class TerminalState;

/// The terminal's side of the wire protocol. Placeholder until the protocol lands: it hears
/// everything and answers nothing, which the PC sees as a terminal that does not respond.
class ProtocolServer : public LineHandler
{
public:
    explicit ProtocolServer(TerminalState& state);

    void onBytes(std::string_view in, std::string& out) override;

private:
    [[maybe_unused]] TerminalState& m_state;
};

} // namespace qelsim
