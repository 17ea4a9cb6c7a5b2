#pragma once

#include <QString>
#include <QtGlobal>

/// What status panel 1 shows during a reading, in the language of the string table (0 English,
/// 1 Portuguese, 2 Spanish), with that language's digit grouping: in English
/// "Reading: 3 documents, 1,234 records".
[[nodiscard]] QString readingProgressText(int languageIndex, int documents, qint64 records);

/// A count as the string table's language (0 English, 1 Portuguese, 2 Spanish) writes it, in
/// groups of three digits: 1,234,567 in English, 1.234.567 in Portuguese and Spanish.
[[nodiscard]] QString countText(int languageIndex, qint64 value);

/// Records in the entries text of one call when the library does not count them: the text's
/// line breaks divided by those of one formatted record (the body template's, at least one).
[[nodiscard]] qint64 estimatedRecordCount(const QString& entriesText, const QString& bodyTemplate);
