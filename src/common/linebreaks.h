#pragma once

#include <QString>

/// Every CR LF, LF CR, lone CR or lone LF becomes one '\n'.
[[nodiscard]] QString normaliseLineBreaks(const QString& text);

/// The text with '\n' replaced by the platform's line ending (LF on Linux, CR LF on Windows).
[[nodiscard]] QString withPlatformLineEndings(const QString& text);
