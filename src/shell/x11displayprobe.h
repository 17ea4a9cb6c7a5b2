#pragma once

/// A connection to the X server that DISPLAY names, or null when it does not accept one. Kept
/// apart from every Qt header: Xlib's macros (None, Bool, Status) clash with Qt's names.
[[nodiscard]] void* openX11Display();
void closeX11Display(void* display);
