#pragma once

#include <QString>

/// What the logic of the reading path needs of the main window besides its text view: the
/// status bar panels, the polling timer and whether the window is minimised.
class MainWindowControls
{
public:
    virtual ~MainWindowControls() = default;
    /// Panel 1: the last file written or used; panel 2: port and terminal state.
    virtual void setStatusText(int panel, const QString& text) = 0;
    [[nodiscard]] virtual QString statusText(int panel) const = 0;
    virtual void setTimerEnabled(bool enabled) = 0;
    [[nodiscard]] virtual bool timerEnabled() const = 0;
    [[nodiscard]] virtual bool isMinimised() const = 0;
    /// How far the reading under way has got, in panel 1; a window may offer to stop it too.
    virtual void showReadingProgress(const QString& text) { setStatusText(1, text); }
    /// The reading has ended: whatever showReadingProgress offered goes.
    virtual void endReadingProgress() {}
};
