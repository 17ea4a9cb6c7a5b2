#include "readingprogress.h"

#include <QCoreApplication>
#include <QLocale>
#include <algorithm>

QString countText(int languageIndex, qint64 value)
{
    // Qt's Spanish locale leaves the leading group of a large number ungrouped ("1234.567"),
    // so the grouping is done here, the same way for every number.
    QLocale numbers(QLocale::English, QLocale::UnitedStates);
    QString text = numbers.toString(value);
    if (languageIndex == 1 || languageIndex == 2) {
        text.replace(QLatin1Char(','), QLatin1Char('.'));
    }
    return text;
}

QString readingProgressText(int languageIndex, int documents, qint64 records)
{
    return QCoreApplication::translate("ReadingProgress", "Reading: %1 documents, %2 records")
        .arg(countText(languageIndex, documents), countText(languageIndex, records));
}

qint64 estimatedRecordCount(const QString& entriesText, const QString& bodyTemplate)
{
    const QLatin1String lineBreak("\r\n");
    const qint64 perRecord = std::max<qint64>(1, bodyTemplate.count(lineBreak));
    return entriesText.count(lineBreak) / perRecord;
}
