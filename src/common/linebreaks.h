#pragma once

#include <QString>

/// Every CR LF, LF CR, lone CR or lone LF becomes one '\n'.
[[nodiscard]] QString normaliseLineBreaks(const QString& text);

/// What `piece` adds when it follows an already normalised text: normaliseLineBreaks(text +
/// piece) is text + normalisedContinuation(piece, text ends with '\n'). A CR that opens the
/// piece completes the LF the text ends with into one break.
[[nodiscard]] QString normalisedContinuation(const QString& piece, bool textEndsWithBreak);

/// The text with '\n' replaced by the platform's line ending (LF on Linux, CR LF on Windows).
[[nodiscard]] QString withPlatformLineEndings(const QString& text);
