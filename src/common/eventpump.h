#pragma once

#include <chrono>

/// Lets the window's pending events run at the points where a long operation allows it.
class EventPump
{
public:
    virtual ~EventPump() = default;
    /// Runs the events that are pending now, once.
    virtual void processEvents() = 0;
    /// Waits for the given time while events keep running (timer ticks may nest in it).
    virtual void waitWithEvents(std::chrono::milliseconds duration) = 0;
};
