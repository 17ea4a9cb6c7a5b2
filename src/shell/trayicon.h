#pragma once

#include "readingnotification.h"

#include <QObject>
#include <QPointer>
#include <functional>

class QAction;
class QMenu;
class QSystemTrayIcon;
class QTimer;
class ProgramCore;
class QWidget;
struct AppState;

/// Kolbrin in the system tray: an icon that shows the state (no port, waiting for a terminal,
/// terminal present, reading), a menu with Show, Read data and Exit, and the notification at the
/// end of each reading. On a desktop without a tray only the notifications remain, sent to the
/// freedesktop notification service.
class TrayIcon : public QObject
{
    Q_OBJECT

public:
    struct Commands
    {
        std::function<void()> show;
        std::function<void()> readData;
        std::function<void()> exit;
    };

    TrayIcon(const AppState& state, Commands commands, QObject* parent = nullptr);
    ~TrayIcon() override;

    /// Whether the desktop shows tray icons at all; without one the window must not hide.
    [[nodiscard]] static bool available();
    /// Whether there is a tray or a notification service: without either this is not needed.
    [[nodiscard]] static bool useful();

    /// Follows the program's readings: the icon shows one under way, and each reading's end
    /// is notified with what the journal holds of it.
    void follow(ProgramCore& core);

    /// A reading began or ended: the icon shows it at once (the state is otherwise looked at
    /// twice a second).
    void setReading(bool reading);
    /// Shows the notice as a desktop notification.
    void notify(const ReadingNotice& notice);

    [[nodiscard]] TrayState state() const { return m_shown; }
    [[nodiscard]] QString toolTip() const;
    [[nodiscard]] QMenu* menu() const { return m_menu; }

    /// Looks at the program's state and shows it.
    void refresh();

private:
    const AppState& m_state;
    Commands m_commands;
    QSystemTrayIcon* m_icon = nullptr;
    QMenu* m_menu = nullptr;
    QTimer* m_timer = nullptr;
    bool m_reading = false;
    TrayState m_shown = TrayState::NoPort;
    bool m_shownOnce = false;
};
