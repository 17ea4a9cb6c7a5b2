#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace qelsim {

/// One stage that serves the serial line: takes the bytes that arrived and answers with bytes to
/// send. The terminal's protocol server is one; the modem in front of the terminal and the
/// program receiver are others, so the main loop only ever talks to a LineHandler.
class LineHandler
{
public:
    using Clock = std::chrono::steady_clock;

    virtual ~LineHandler() = default;

    /// Bytes received from the line; append any reply bytes to `out`.
    virtual void onBytes(std::string_view in, std::string& out) = 0;

    /// The terminal was placed or removed: drop any partial input.
    virtual void reset() {}

    /// When the stage wants onTime() without bytes arriving (the end of a pause it waits for, the
    /// next ring of a call); nothing when it waits for nothing.
    [[nodiscard]] virtual std::optional<Clock::time_point> wakeAt() const { return std::nullopt; }

    /// Time has passed: act on what is due at `now`, appending bytes to send to `out`.
    virtual void onTime(Clock::time_point /*now*/, std::string& /*out*/) {}
};

} // namespace qelsim
