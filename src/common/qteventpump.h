#pragma once

#include "eventpump.h"

/// The event pump of the running program: Qt's event loop of the calling (user-interface) thread.
class QtEventPump : public EventPump
{
public:
    void processEvents() override;
    /// Runs a local event loop for the duration, so timers, repaints and input keep being handled
    /// all the time, not only at the end of the wait.
    void waitWithEvents(std::chrono::milliseconds duration) override;
};
