// Appending one reading to a long-lived output file: the append policy writes at the end of the
// file in place, journaling the file's length first, so its time and memory should follow the
// reading, not the file.
#include "benchmain.h"
#include "common/documentview.h"
#include "common/mainwindowcontrols.h"
#include "common/memorysettingsstore.h"
#include "common/settings.h"
#include "journal/sqlitejournal.h"
#include "output/outputfilepolicy.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <string>

namespace {

constexpr qint64 kFileSize = qint64(50) << 20;
constexpr qsizetype kReadingSize = 10 << 10;

class NoWindow : public MainWindowControls
{
public:
    void setStatusText(int, const QString&) override {}
    QString statusText(int) const override { return {}; }
    void setTimerEnabled(bool) override {}
    bool timerEnabled() const override { return true; }
    bool isMinimised() const override { return false; }
};

// Lines as a reading produces them: code, quantity, date.
QString readingText(qsizetype size)
{
    QString text;
    for (int n = 0; text.size() < size; ++n) {
        text += QStringLiteral("7891234%1;ITEM %1;%2;2026-12-07 10:11:12\n")
                    .arg(n, 6, 10, QLatin1Char('0'))
                    .arg(n % 97, 4);
    }
    text.truncate(size - 1);
    return text + QLatin1Char('\n');
}

// Written a piece at a time, so that making it does not raise the memory high-water mark.
bool makeOutputFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    const QByteArray piece = readingText(1 << 20).toUtf8();
    for (qint64 written = 0; written < kFileSize; written += piece.size()) {
        if (file.write(piece.left(std::min<qint64>(piece.size(), kFileSize - written))) < 0) {
            return false;
        }
    }
    return true;
}

// A field of /proc/self/status in kB ("VmRSS", "VmHWM"), -1 when unknown.
long statusKb(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(prefix)) {
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLong();
        }
    }
    return -1;
}

struct AppendSetup
{
    QTemporaryDir dir;
    MemorySettingsStore store;
    MemoryDocumentView view;
    NoWindow window;
    Settings settings;
    // As in the program: every append is recorded in a journal file and marked done.
    SqliteJournal journal{dir.filePath(QStringLiteral("journal.sqlite"))};
    OutputFilePolicy policy{store, view, window, &journal};
    QString reading = readingText(kReadingSize);

    AppendSetup()
    {
        settings.MyFileName = dir.filePath(QStringLiteral("output.txt"));
        settings.AppendFile = true;
    }
    bool ready() { return dir.isValid() && makeOutputFile(settings.MyFileName); }
    bool appendOnce()
    {
        view.setText(reading);
        return policy.deliver(settings).ok;
    }
};

void output_append_10k_to_50m(benchmark::State& state)
{
    AppendSetup setup;
    if (!setup.ready()) {
        state.SkipWithError("cannot make the output file");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        setup.view.setText(setup.reading);
        state.ResumeTiming();
        if (!setup.policy.deliver(setup.settings).ok) {
            state.SkipWithError("append failed");
            return;
        }
    }
}
BENCHMARK(output_append_10k_to_50m)->Unit(benchmark::kMillisecond);

// Memory one append takes beyond what the process held before it, from the kernel's high-water
// mark of resident memory. Runs before anything else has raised that mark.
void printAppendExtraMemory()
{
    const char* name = "output_append_10k_to_50m_extra_memory";
    AppendSetup setup;
    if (!setup.ready() || !setup.appendOnce()) {
        std::printf("%s - MB -\n", name);
        return;
    }
    // Reset the high-water mark to the present size where the kernel allows it; the first
    // append above has loaded what any append needs.
    if (QFile clear(QStringLiteral("/proc/self/clear_refs")); clear.open(QIODevice::WriteOnly)) {
        clear.write("5");
    }
    const long before = statusKb("VmRSS");
    const bool ok = setup.appendOnce();
    const long peak = statusKb("VmHWM");
    if (!ok || before < 0 || peak < 0) {
        std::printf("%s - MB -\n", name);
        return;
    }
    std::printf("%s %.2f MB <=4\n", name, (peak - before) / 1024.0);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    printAppendExtraMemory();
    return runBenchmarks(argc, argv, {{"output_append_10k_to_50m", "<=10"}});
}
