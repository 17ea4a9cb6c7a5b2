#pragma once

#include <QString>

/// The output file name after the terminal's identity: the folder part of the current name
/// (up to its last path separator) followed by the 8-character identity and ".txt". A name
/// without a separator stays as it is. Characters of the identity that a file name cannot
/// hold (control characters, C0 and C1), or that would lead out of the folder, become '_', and so
/// does a leading dot, which would make a hidden file; spaces stay.
[[nodiscard]] QString fileNameForTerminal(const QString& myFileName, const QString& terminalId);

/// The identity with every character unsafe in a file name replaced by '_'.
[[nodiscard]] QString safeFileNamePart(const QString& text);
