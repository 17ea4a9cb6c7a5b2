// Fuzzes the list file scanner: the first two bytes are the element and description widths,
// the rest is a list file. Every field must lie between two quotes with none inside, every
// quote must open or close one field (or be the one left open), and the list data must have
// the size the widths promise, every field ending with a zero.
#include "common/textcodec.h"
#include "lists/listdata.h"

#include <cstdint>
#include <cstdlib>

#define CHECK(condition)                                                                           \
    if (!(condition))                                                                              \
    std::abort()

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2) {
        return 0;
    }
    const ListData::Widths widths{data[0] % 16, data[1] % 16};
    const QString text = TextCodec::decodeFileText(
        QByteArray(reinterpret_cast<const char*>(data) + 2, qsizetype(size) - 2));

    qsizetype fields = 0;
    qsizetype end = -1; // the quote that closed the previous field
    const auto check = [&](QStringView field, qsizetype offset) {
        ++fields;
        CHECK(offset > end + 1 && text.at(offset - 1) == u'"');
        CHECK(offset + field.size() < text.size() && text.at(offset + field.size()) == u'"');
        CHECK(!field.contains(u'"'));
        end = offset + field.size();
    };
    const qsizetype unclosed = ListData::scanQuotedFields(text, check);
    CHECK(text.count(u'"') == 2 * fields + (unclosed >= 0 ? 1 : 0));
    CHECK(unclosed < 0 || (unclosed > end && text.at(unclosed) == u'"'));

    const ListData::Result list = ListData::build(text, widths);
    CHECK(list.fields == fields && list.unclosedQuote == unclosed);
    CHECK(list.bytes.size() == ListData::size(text, widths));
    qsizetype at = 0;
    for (qsizetype n = 1; n <= fields; ++n) {
        const int width = n % 2 == 1 ? widths.element : widths.description;
        at += width;
        CHECK(width == 0 || list.bytes.at(at - 1) == '\0');
    }
    CHECK(at == list.bytes.size());
    return 0;
}
