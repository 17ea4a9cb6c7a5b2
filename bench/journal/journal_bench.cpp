// What the journal adds to a reading: the reading of 10,000 records goes into the SQLite journal
// (text and digest, durable) before delivery, and its outcome afterwards.
#include "benchmain.h"
#include "journal/sqlitejournal.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

constexpr int kRecords = 10000;

JournalReading readingOf(int records)
{
    JournalReading reading;
    for (int n = 0; n < records; ++n) {
        reading.text +=
            QStringLiteral("7891234%1;ITEM %1;%2\n").arg(n, 6, 10, QLatin1Char('0')).arg(n % 97, 4);
    }
    const QByteArray utf8 = reading.text.toUtf8();
    reading.terminal = QStringLiteral("SHOP01");
    reading.port = 1;
    reading.started = reading.finished = QDateTime::currentDateTimeUtc();
    reading.records = records;
    reading.bytes = utf8.size();
    reading.mode = QStringLiteral("append");
    reading.result = QStringLiteral("pending");
    return reading;
}

// Journaling one reading as the program does: digest, add before delivery, update after.
void journal_reading_10000_records(benchmark::State& state)
{
    QTemporaryDir dir;
    SqliteJournal journal(dir.filePath(QStringLiteral("journal.sqlite")));
    if (!dir.isValid() || !journal.isOpen()) {
        state.SkipWithError("cannot open the journal");
        return;
    }
    const JournalReading model = readingOf(kRecords);
    for (auto _ : state) {
        JournalReading reading = model;
        reading.sha256 = QString::fromLatin1(
            QCryptographicHash::hash(reading.text.toUtf8(), QCryptographicHash::Sha256).toHex());
        if (!journal.addReading(reading)) {
            state.SkipWithError("add failed");
            return;
        }
        reading.result = QStringLiteral("delivered");
        reading.cleared = true;
        if (!journal.updateReading(reading)) {
            state.SkipWithError("update failed");
            return;
        }
    }
}
BENCHMARK(journal_reading_10000_records)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    return runBenchmarks(argc, argv, {{"journal_reading_10000_records", "<=20"}});
}
