#include "journalcommands.h"

#include "common/fileoperations.h"
#include "common/linebreaks.h"
#include "journal/journal.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

CommandLineAnswer done(std::string output)
{
    CommandLineAnswer answer;
    answer.startProgram = false;
    answer.standardOutput = std::move(output);
    return answer;
}

CommandLineAnswer failed(const QString& problem)
{
    CommandLineAnswer answer;
    answer.startProgram = false;
    answer.exitStatus = CommandLineAnswer::kFailure;
    answer.errorOutput = (QStringLiteral("kolbrin: ") + problem + QLatin1Char('\n')).toStdString();
    return answer;
}

CommandLineAnswer journalNotReadable(const Journal& journal)
{
    return failed(QStringLiteral("the journal could not be read: %1").arg(journal.problem()));
}

QString isoTime(const QDateTime& time)
{
    return time.isValid() ? time.toUTC().toString(Qt::ISODate) : QString();
}

QJsonValue jsonTime(const QDateTime& time)
{
    return time.isValid() ? QJsonValue(isoTime(time)) : QJsonValue(QJsonValue::Null);
}

QJsonObject jsonReading(const JournalReading& reading)
{
    return {
        {QStringLiteral("id"), reading.id},
        {QStringLiteral("terminal"), reading.terminal},
        {QStringLiteral("port"), reading.port},
        {QStringLiteral("started"), jsonTime(reading.started)},
        {QStringLiteral("finished"), jsonTime(reading.finished)},
        {QStringLiteral("documents"), reading.documents},
        {QStringLiteral("records"), reading.records},
        {QStringLiteral("bytes"), reading.bytes},
        {QStringLiteral("sha256"), reading.sha256},
        {QStringLiteral("mode"), reading.mode},
        {QStringLiteral("target"), reading.target},
        {QStringLiteral("result"), reading.result},
        {QStringLiteral("cleared"), reading.cleared},
    };
}

// One column of the plain listing: the text padded to `width`, on the right for numbers. A
// longer text keeps all of its characters and pushes the rest of the line along.
QString column(const QString& text, int width, bool number = false)
{
    return number ? text.rightJustified(width) : text.leftJustified(width);
}

QString orDash(const QString& text)
{
    return text.isEmpty() ? QStringLiteral("-") : text;
}

QString plainLine(const QString& id, const QString& finished, const QString& terminal,
                  const QString& documents, const QString& records, const QString& result,
                  const QString& cleared, const QString& target)
{
    const QString gap = QStringLiteral("  ");
    return column(id, 6, true) + gap + column(finished, 20) + gap + column(terminal, 16) + gap +
           column(documents, 9, true) + gap + column(records, 7, true) + gap + column(result, 17) +
           gap + column(cleared, 7) + gap + target + QLatin1Char('\n');
}

/// The readings as --history prints them.
CommandLineAnswer listing(const JournalRequest& request, const QList<JournalReading>& readings)
{
    if (request.json) {
        QJsonArray array;
        for (const JournalReading& reading : readings) {
            array.append(jsonReading(reading));
        }
        return done(QJsonDocument(array).toJson(QJsonDocument::Indented).toStdString());
    }
    QString text = plainLine(QStringLiteral("ID"), QStringLiteral("FINISHED (UTC)"),
                             QStringLiteral("TERMINAL"), QStringLiteral("DOCUMENTS"),
                             QStringLiteral("RECORDS"), QStringLiteral("RESULT"),
                             QStringLiteral("CLEARED"), QStringLiteral("TARGET"));
    for (const JournalReading& reading : readings) {
        text += plainLine(QString::number(reading.id), orDash(isoTime(reading.finished)),
                          orDash(reading.terminal), QString::number(reading.documents),
                          QString::number(reading.records), reading.result,
                          reading.cleared ? QStringLiteral("yes") : QStringLiteral("no"),
                          orDash(reading.target));
    }
    return done(text.toStdString());
}

CommandLineAnswer history(const JournalRequest& request, Journal& journal)
{
    const QList<JournalReading> readings = journal.readings(request.limit);
    // Readings with a problem come from a fallback (this PC's file while the shared journal
    // cannot be reached): they are listed, and the problem is told as a warning.
    const QString warning = journal.problem();
    if (!warning.isEmpty() && readings.isEmpty()) {
        return journalNotReadable(journal);
    }
    CommandLineAnswer answer = listing(request, readings);
    if (!warning.isEmpty()) {
        answer.errorOutput =
            (QStringLiteral("kolbrin: ") + warning + QLatin1Char('\n')).toStdString();
    }
    return answer;
}

CommandLineAnswer exportReading(const JournalRequest& request, Journal& journal)
{
    const std::optional<JournalReading> reading = journal.reading(request.id);
    if (!reading) {
        if (!journal.problem().isEmpty()) {
            return journalNotReadable(journal);
        }
        return failed(QStringLiteral("the journal holds no reading with id %1").arg(request.id));
    }
    const QString path = QFile::decodeName(request.file.c_str());
    const auto notWritten = [&](const QString& reason) {
        return failed(
            QStringLiteral("the file %1 could not be written: %2").arg(quotedPath(path), reason));
    };
    // Renaming over a folder fails anyway, but with a reason that does not say why.
    if (QFileInfo(path).isDir()) {
        return notWritten(QStringLiteral("it is a folder"));
    }
    // As the delivery writes a file, so the export matches it byte for byte.
    const QByteArray content = withPlatformLineEndings(normaliseLineBreaks(reading->text)).toUtf8();
    if (const FileWriteResult written = writeFileAtomically(path, content); !written) {
        return notWritten(written.error);
    }
    return done({});
}

} // namespace

CommandLineAnswer runJournalCommand(const JournalRequest& request, Journal& journal)
{
    switch (request.kind) {
    case JournalRequest::Kind::Export:
        return exportReading(request, journal);
    case JournalRequest::Kind::History:
        break;
    }
    return history(request, journal);
}
