#pragma once

#include <QByteArray>
#include <QString>

/// A reader for the common subset of rich-text (RTF) files, turning them into the HTML that the
/// document view shows: paragraphs and line breaks, bold, italic, underline, strike-through,
/// font size, colours from the colour table, alignment, Unicode escapes and Windows-1252 byte
/// escapes. Whatever it does not know (fonts, pictures, tables, fields' instructions, document
/// information) is skipped. It never fails: any input gives some HTML, in one pass over it.
namespace RtfReader {

/// True when the bytes open like a rich-text file: "{\rtf", after an optional byte-order mark
/// and white space.
[[nodiscard]] bool isRichText(const QByteArray& bytes);

/// The document as HTML, every paragraph a <p> that keeps its spaces.
[[nodiscard]] QString toHtml(const QByteArray& rtf);

} // namespace RtfReader
