#pragma once

#include "common/eventpump.h"
#include "common/mainwindowcontrols.h"

#include <QString>
#include <functional>

/// Main-window controls held in memory: status panels, timer flag, minimised flag.
class FakeWindowControls : public MainWindowControls
{
public:
    void setStatusText(int panel, const QString& text) override
    {
        (panel == 1 ? panel1 : panel2) = text;
    }
    QString statusText(int panel) const override { return panel == 1 ? panel1 : panel2; }
    void setTimerEnabled(bool enabled) override
    {
        timerOn = enabled;
        ++timerChanges;
    }
    bool timerEnabled() const override { return timerOn; }
    bool isMinimised() const override { return minimised; }

    QString panel1;
    QString panel2;
    bool timerOn = false;
    int timerChanges = 0;
    bool minimised = false;
};

/// EventPump that counts how often events were let run and runs injected work each time
/// (as a nested timer tick would), without waiting.
class CountingEventPump : public EventPump
{
public:
    void processEvents() override
    {
        ++processCalls;
        if (onEvents) {
            onEvents();
        }
    }
    void waitWithEvents(std::chrono::milliseconds duration) override
    {
        ++waitCalls;
        waited += duration;
        if (onEvents) {
            onEvents();
        }
    }

    int processCalls = 0;
    int waitCalls = 0;
    std::chrono::milliseconds waited{0};
    std::function<void()> onEvents;
};
