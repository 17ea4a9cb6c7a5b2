#pragma once

struct ReadingNotice;

/// The freedesktop notification service on the session bus, for desktops that show
/// notifications but no tray icons.
namespace DesktopNotification {

/// Whether the session bus has a notification service.
[[nodiscard]] bool available();
/// Hands the notice to the service without waiting for its answer; false without a service.
bool send(const ReadingNotice& notice);

} // namespace DesktopNotification
