#include "terminalfilename.h"

namespace {

bool isSeparator(QChar ch)
{
    // Both separators count on every platform: the stored name may come from either.
    return ch == QLatin1Char('\\') || ch == QLatin1Char('/');
}

bool isUnsafe(QChar ch)
{
    // C0 and C1 control characters, DEL and the separators.
    if (ch.unicode() < 0x20 || (ch.unicode() >= 0x7F && ch.unicode() <= 0x9F) || isSeparator(ch)) {
        return true;
    }
#ifdef Q_OS_WIN
    return QStringLiteral("<>:\"|?*").contains(ch);
#else
    return false;
#endif
}

} // namespace

QString safeFileNamePart(const QString& text)
{
    QString safe = text;
    for (QChar& ch : safe) {
        if (isUnsafe(ch)) {
            ch = QLatin1Char('_');
        }
    }
    // "." and ".." name folders; keep every run of two dots from reading as one.
    for (qsizetype i = safe.indexOf(QLatin1String("..")); i >= 0;
         i = safe.indexOf(QLatin1String(".."), i)) {
        safe[i] = QLatin1Char('_');
        safe[i + 1] = QLatin1Char('_');
    }
    // A leading dot would make a hidden file, or with "." alone name the folder itself.
    if (safe.startsWith(QLatin1Char('.'))) {
        safe[0] = QLatin1Char('_');
    }
    return safe;
}

QString fileNameForTerminal(const QString& myFileName, const QString& terminalId)
{
    qsizetype last = -1;
    for (qsizetype i = 0; i < myFileName.size(); ++i) {
        if (isSeparator(myFileName[i])) {
            last = i;
        }
    }
    if (last < 0) {
        return myFileName;
    }
    return myFileName.left(last + 1) + safeFileNamePart(terminalId) + QStringLiteral(".txt");
}
