#include "linebreaks.h"

QString normaliseLineBreaks(const QString& text)
{
    // Text without CR is already normal; sharing it avoids copying large documents.
    if (!text.contains(QLatin1Char('\r'))) {
        return text;
    }
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text[i];
        if (ch != QLatin1Char('\r') && ch != QLatin1Char('\n')) {
            out += ch;
            continue;
        }
        out += QLatin1Char('\n');
        // The other character of a CR LF or LF CR pair belongs to the same break.
        if (i + 1 < text.size()) {
            const QChar next = text[i + 1];
            if ((next == QLatin1Char('\r') || next == QLatin1Char('\n')) && next != ch) {
                ++i;
            }
        }
    }
    return out;
}

QString normalisedContinuation(const QString& piece, bool textEndsWithBreak)
{
    if (textEndsWithBreak && piece.startsWith(QLatin1Char('\r'))) {
        return normaliseLineBreaks(piece.mid(1));
    }
    return normaliseLineBreaks(piece);
}

QString withPlatformLineEndings(const QString& text)
{
#ifdef Q_OS_WIN
    QString out = text;
    out.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return out;
#else
    return text;
#endif
}
