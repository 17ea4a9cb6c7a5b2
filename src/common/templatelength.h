#pragma once

#include <QString>

/// The longest body or header template the program uses, in characters (bytes in Windows-1252,
/// as the library gets it). A terminal's own template holds at most 255; one typed in the
/// configuration with every field of a record and its width stays well within a few hundred. The
/// library lays out every record with the template and the window holds all of it, so a template
/// of 120,000 characters froze the window for most of a minute: 8,192 leaves room for any real
/// template and bounds that work.
inline constexpr qsizetype kMaxTemplateLength = 8192;

/// Why the template stored under `key` (AsciiDataFormat for the body, AsciiDataFormat2 for the
/// header) is not used, naming the setting, the template's length and the limit; empty when it
/// is not longer than kMaxTemplateLength. The caller says what was not done.
[[nodiscard]] QString templateLengthProblem(const char16_t* key, const QString& value);
