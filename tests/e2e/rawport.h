#pragma once

// Raw access to a port through libvorlak's IO_ functions, for the tests that talk to qel-sim's
// modem and program receiver as the program does.
#include "vorlak.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

inline void writeRaw(std::int32_t port, std::string_view bytes)
{
    IO_Write(port, static_cast<std::int32_t>(bytes.size()), bytes.data());
}

/// What arrives on `port` until it holds `wanted` or `limit` has passed.
inline std::string readUntil(std::int32_t port, std::string_view wanted,
                             std::chrono::milliseconds limit)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + limit;
    std::string received;
    while (received.find(wanted) == std::string::npos) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            break;
        }
        std::array<char, 256> buffer{};
        const std::int32_t n =
            IO_Read(port, static_cast<std::int32_t>(buffer.size()), buffer.data(),
                    static_cast<std::int32_t>(std::min<long long>(left, 50)));
        received.append(buffer.data(), static_cast<std::size_t>(std::max(0, n)));
    }
    return received;
}
