#pragma once

#include <string>
#include <string_view>

namespace qelsim {

/// One stage that serves the serial line: takes the bytes that arrived and answers with bytes to
/// send. The terminal's protocol server is one; a modem in front of it or a program receiver are
/// others, so the main loop only ever talks to a LineHandler.
class LineHandler
{
public:
    virtual ~LineHandler() = default;

    /// Bytes received from the line; append any reply bytes to `out`. Called only while the
    /// terminal is in the cradle.
    virtual void onBytes(std::string_view in, std::string& out) = 0;

    /// The terminal was placed or removed: drop any partial input.
    virtual void reset() {}
};

} // namespace qelsim
