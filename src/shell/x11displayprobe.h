#pragma once

/// Whether the X server that DISPLAY names accepts a connection now. Kept apart from every Qt
/// header: Xlib's macros (None, Bool, Status) clash with Qt's names.
[[nodiscard]] bool x11DisplayAnswers();
