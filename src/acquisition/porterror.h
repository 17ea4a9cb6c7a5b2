#pragma once

#include <QString>

class CommLibrary;
class UiLanguage;

/// "Error opening serial port : n" in the current language, followed by the library's reason
/// when it can tell one (no such device, permission denied).
[[nodiscard]] QString portErrorMessage(const UiLanguage& language, CommLibrary& library, int port);
