#include "readingprogress.h"

#include <QCoreApplication>
#include <QLocale>
#include <algorithm>

namespace {

QLocale localeOf(int languageIndex)
{
    switch (languageIndex) {
    case 1:
        return QLocale(QLocale::Portuguese, QLocale::Brazil);
    case 2:
        return QLocale(QLocale::Spanish, QLocale::Spain);
    default:
        return QLocale(QLocale::English, QLocale::UnitedStates);
    }
}

} // namespace

QString readingProgressText(int languageIndex, int documents, qint64 records)
{
    const QLocale numbers = localeOf(languageIndex);
    return QCoreApplication::translate("ReadingProgress", "Reading: %1 documents, %2 records")
        .arg(numbers.toString(documents), numbers.toString(records));
}

qint64 estimatedRecordCount(const QString& entriesText, const QString& bodyTemplate)
{
    const QLatin1String lineBreak("\r\n");
    const qint64 perRecord = std::max<qint64>(1, bodyTemplate.count(lineBreak));
    return entriesText.count(lineBreak) / perRecord;
}
