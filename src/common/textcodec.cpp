#include "textcodec.h"

#include <QStringDecoder>
#include <array>

namespace {

// 0x80..0x9F of Windows-1252; 0 marks the five codes that are undefined there. Those pass
// through as the C1 control of the same value, as the platform's own conversion does.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t unicodeOf(unsigned char byte)
{
    if (byte >= 0x80 && byte <= 0x9F) {
        return kHighControls[byte - 0x80];
    }
    return byte;
}

int windows1252Of(char16_t ch)
{
    if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF)) {
        return ch;
    }
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == ch) {
            return static_cast<int>(0x80 + i);
        }
    }
    return -1;
}

} // namespace

QString TextCodec::fromWindows1252(const QByteArray& bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (const char byte : bytes) {
        text.append(QChar(unicodeOf(static_cast<unsigned char>(byte))));
    }
    return text;
}

QByteArray TextCodec::toWindows1252(const QString& text, bool* lossy)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    bool lost = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        const int code = windows1252Of(ch.unicode());
        if (code >= 0) {
            bytes.append(static_cast<char>(code));
            continue;
        }
        // One '?' per character, also for characters written as a surrogate pair.
        if (ch.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            ++i;
        }
        bytes.append('?');
        lost = true;
    }
    if (lossy != nullptr) {
        *lossy = lost;
    }
    return bytes;
}

QString TextCodec::decodeFileText(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError()) {
        return fromWindows1252(bytes);
    }
    if (text.startsWith(QChar(0xFEFF))) {
        text.remove(0, 1);
    }
    return text;
}
