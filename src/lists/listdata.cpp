#include "listdata.h"

#include "common/textcodec.h"

#include <algorithm>

namespace ListData {

namespace {

std::int32_t widthOf(qsizetype fieldNumber, Widths widths)
{
    // Fields are counted from 1 over the whole file: odd ones are elements.
    return fieldNumber % 2 == 1 ? widths.element : widths.description;
}

// Length in UTF-16 units of the first `count` characters of `text`: a character outside the
// Basic Multilingual Plane is one character (one byte for the terminal) but two units.
qsizetype unitsOfCharacters(QStringView text, qsizetype count)
{
    qsizetype units = 0;
    for (qsizetype chars = 0; chars < count && units < text.size(); ++chars) {
        const bool pair = text.at(units).isHighSurrogate() && units + 1 < text.size() &&
                          text.at(units + 1).isLowSurrogate();
        units += pair ? 2 : 1;
    }
    return units;
}

} // namespace

std::int64_t size(QStringView text, Widths widths)
{
    qsizetype fields = 0;
    scanQuotedFields(text, [&](QStringView, qsizetype) { ++fields; });
    const std::int64_t elements = (fields + 1) / 2;
    const std::int64_t descriptions = fields / 2;
    return elements * std::max(widths.element, 0) + descriptions * std::max(widths.description, 0);
}

Result build(QStringView text, Widths widths)
{
    Result result;
    const std::int64_t total = size(text, widths);
    result.bytes.reserve(static_cast<qsizetype>(total));
    result.unclosedQuote = scanQuotedFields(text, [&](QStringView field, qsizetype offset) {
        ++result.fields;
        const std::int32_t width = widthOf(result.fields, widths);
        if (width <= 0) {
            return;
        }
        // Only the characters that are sent are converted: a long text cut to a narrow width
        // costs no more than the width, and a character cut off is not reported as lost.
        const QString kept = field.first(unitsOfCharacters(field, width - 1)).toString();
        bool lossy = false;
        const QByteArray bytes = TextCodec::toWindows1252(kept, &lossy);
        if (lossy && result.firstLossy < 0) {
            for (qsizetype i = 0; i < kept.size(); ++i) {
                if (TextCodec::toWindows1252(QString(kept.at(i))) == "?" && kept.at(i) != u'?') {
                    result.firstLossy = offset + i;
                    break;
                }
            }
        }
        appendFixedWidth(result.bytes, bytes, width);
    });
    return result;
}

void appendFixedWidth(QByteArray& out, QByteArrayView field, std::int32_t width)
{
    if (width <= 0) {
        return;
    }
    const qsizetype kept = std::min<qsizetype>(field.size(), width - 1);
    out.append(field.first(kept));
    out.append(width - kept, '\0');
}

qsizetype lineOf(QStringView text, qsizetype offset)
{
    return text.first(std::clamp<qsizetype>(offset, 0, text.size())).count(u'\n') + 1;
}

} // namespace ListData
