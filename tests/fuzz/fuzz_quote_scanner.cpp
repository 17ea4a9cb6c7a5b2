// Fuzzes the list file scanner: the first two bytes are the element and description widths,
// the rest is a list file. Every field must lie between two quotes with none inside, every
// quote must open or close exactly one field (or be the one left open), and the list data must
// have exactly the size the widths promise, each field ending with a zero.
#include "common/textcodec.h"
#include "lists/listdata.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2) {
        return 0;
    }
    const ListData::Widths widths{data[0] % 16, data[1] % 16};
    const QString text = TextCodec::decodeFileText(
        QByteArray(reinterpret_cast<const char*>(data) + 2, qsizetype(size) - 2));

    qsizetype fields = 0;
    qsizetype end = -1; // offset of the quote that closed the previous field
    const qsizetype unclosed =
        ListData::scanQuotedFields(text, [&](QStringView field, qsizetype offset) {
            ++fields;
            check(offset > end + 1 && offset + field.size() < text.size());
            check(text.at(offset - 1) == u'"' && text.at(offset + field.size()) == u'"');
            check(!field.contains(u'"'));
            check(!QStringView(text).sliced(end + 1, offset - 1 - (end + 1)).contains(u'"'));
            end = offset + field.size();
        });
    const qsizetype quotes = text.count(u'"');
    check(quotes == 2 * fields + (unclosed >= 0 ? 1 : 0));
    if (unclosed >= 0) {
        check(unclosed > end && text.at(unclosed) == u'"');
        check(!QStringView(text).sliced(unclosed + 1).contains(u'"'));
    }

    const ListData::Result list = ListData::build(text, widths);
    check(list.fields == fields && list.unclosedQuote == unclosed);
    check(list.bytes.size() == ListData::size(text, widths));
    check(list.bytes.size() == (fields + 1) / 2 * widths.element + fields / 2 * widths.description);
    qsizetype at = 0;
    for (qsizetype n = 1; n <= fields; ++n) {
        at += n % 2 == 1 ? widths.element : widths.description;
        check((n % 2 == 1 ? widths.element : widths.description) == 0 ||
              list.bytes.at(at - 1) == 0);
    }
    check(list.firstLossy < 0 ||
          (list.firstLossy < text.size() && text.at(list.firstLossy) != u'?'));
    return 0;
}
