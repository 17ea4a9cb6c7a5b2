// Fuzzes the rich-text reader: any bytes must give HTML with its paragraphs and spans closed,
// no unpaired surrogate, and a size in proportion to the input.
#include "document/rtfreader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray input =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    static_cast<void>(RtfReader::isRichText(input));
    const RtfReader::Conversion document = RtfReader::toHtml(input);
    if (document.refused() != document.html.isEmpty()) {
        std::abort();
    }
    const QString& html = document.html;

    if (html.count(QStringLiteral("<p ")) + html.count(QStringLiteral("<p>")) !=
            html.count(QStringLiteral("</p>")) ||
        html.count(QStringLiteral("<span")) != html.count(QStringLiteral("</span>"))) {
        std::abort();
    }
    for (qsizetype i = 0; i < html.size(); ++i) {
        const QChar ch = html.at(i);
        if (ch.isLowSurrogate()) {
            std::abort();
        }
        if (ch.isHighSurrogate()) {
            if (i + 1 >= html.size() || !html.at(i + 1).isLowSurrogate()) {
                std::abort();
            }
            ++i;
        }
    }
    // The document and its first paragraph cost a fixed amount; after that the most markup one
    // input byte can bring is an empty paragraph for a four-byte "\par".
    if (html.size() > 512 + 64 * qsizetype(size)) {
        std::abort();
    }
    return 0;
}
