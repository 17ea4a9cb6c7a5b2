#pragma once

#include <QByteArray>
#include <QStringView>
#include <cstdint>

/// Turning the text of a CSV list file into the list data a terminal receives: every quoted
/// text of the file is a field, odd fields are elements and even fields descriptions, each
/// made exactly as wide as the user asked and the fields joined without separators.
namespace ListData {

/// Calls field(text, offset) for every quoted text of `text`, in order, with the field's text
/// (quotes excluded) and the offset of its first character. A quote opens a field and the next
/// quote closes it: there is no escape, so a doubled quote ends one field and opens the next,
/// and a line break inside quotes belongs to the field. Everything outside quotes is skipped.
/// Every character is examined, the last one included. One pass, no allocation.
///
/// Returns the offset of a quote that opened a field and was never closed, or -1.
template <typename FieldFn>
qsizetype scanQuotedFields(QStringView text, FieldFn&& field)
{
    qsizetype from = 0;
    while (from < text.size()) {
        const qsizetype open = text.indexOf(u'"', from);
        if (open < 0) {
            return -1;
        }
        const qsizetype close = text.indexOf(u'"', open + 1);
        if (close < 0) {
            return open;
        }
        field(text.sliced(open + 1, close - open - 1), open + 1);
        from = close + 1;
    }
    return -1;
}

/// Field widths as the user gave them; each 0 or more.
struct Widths
{
    std::int32_t element = 0;
    std::int32_t description = 0;
};

/// What scanning a list file's text found, and the bytes it gives.
struct Result
{
    QByteArray bytes;
    qsizetype fields = 0;
    /// Offset of a quote never closed (its text is not in the list), or -1.
    qsizetype unclosedQuote = -1;
    /// Offset of the first field character that Windows-1252 cannot hold (sent as '?'), or -1.
    qsizetype firstLossy = -1;
};

/// Bytes the list data of `text` takes with these widths, found without building it, so that
/// a list too big to send is refused before any memory is spent on it.
[[nodiscard]] std::int64_t size(QStringView text, Widths widths);

/// The list data of `text`: each field in Windows-1252 (one byte per character), made
/// fixed-width, joined in file order: element 1, description 1, element 2, ...
[[nodiscard]] Result build(QStringView text, Widths widths);

/// Appends `field` at `width` bytes: its first width - 1 bytes, then zero bytes up to the
/// width, so every field of width 1 or more ends with a zero. Width 0 appends nothing.
void appendFixedWidth(QByteArray& out, QByteArrayView field, std::int32_t width);

/// Line number (from 1) of `offset` in `text`, for messages.
[[nodiscard]] qsizetype lineOf(QStringView text, qsizetype offset);

} // namespace ListData
