#pragma once

#include <QByteArray>
#include <QString>

/// A reader for the common subset of rich-text (RTF) files, turning them into the HTML that the
/// document view shows: paragraphs and line breaks, bold, italic, underline, strike-through,
/// font size, colours from the colour table, alignment, Unicode escapes and Windows-1252 byte
/// escapes. Whatever it does not know (fonts, pictures, tables, fields' instructions, document
/// information) is skipped. It reads in one pass, and refuses a document that would cost the
/// view more than it can bear, saying which bound it crossed and where.
namespace RtfReader {

/// What the view can take in one document. Laying out the text costs time and memory for every
/// paragraph, character and change of formatting, and for a word that no space breaks it grows
/// with the square of the word's length; beyond these the window would freeze for minutes or
/// run out of memory. Real documents stay far below them.
struct Limits
{
    int depth = 256;         ///< groups inside groups; real documents rarely go past 50
    int paragraphs = 50'000; ///< paragraphs and table rows
    int cells = 50'000;      ///< table cells
    int characters = 2'000'000;
    /// Characters in one paragraph, line breaks inside it included: the window redraws the
    /// whole paragraph with every blink of the cursor in it.
    int paragraphLength = 100'000;
    int formatRuns = 50'000; ///< stretches of text in one character format
    int wordLength = 1'000;  ///< characters in a row without a space or other break
};

/// The document as HTML, or why it is not shown.
struct Conversion
{
    QString html;    ///< every paragraph a <p> that keeps its spaces; empty when refused
    QString refusal; ///< empty when the document is shown; else what is wrong, with the limit

    [[nodiscard]] bool refused() const { return !refusal.isEmpty(); }
};

/// True when the bytes open like a rich-text file: "{\rtf", after an optional byte-order mark
/// and white space.
[[nodiscard]] bool isRichText(const QByteArray& bytes);

/// Converts the document, stopping at the first limit it crosses.
[[nodiscard]] Conversion toHtml(const QByteArray& rtf, const Limits& limits = {});

} // namespace RtfReader
