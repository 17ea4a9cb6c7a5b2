// Loading hostile and ordinary rich-text files into the document view, offscreen: for each file
// a fresh process reads it from disk and shows it the way Load does, and reports the time until
// the window takes events again, its peak memory and the processor it uses in the seconds after.
#include "document/qtexteditdocumentview.h"
#include "document/viewfile.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <sys/resource.h>

namespace {

constexpr int kIdleMs = 3000;
constexpr int kChildTimeoutMs = 240'000;

double processorMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

/// The process's peak resident memory. Not getrusage: on Linux its peak survives exec, so a
/// child would report its parent's.
double peakMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:")) {
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
        }
    }
    return -1;
}

/// Shows one file and prints "load_ms peak_mb idle_cpu_percent outcome", the processor use
/// taken over idleMs after the load.
int measureOnce(int argc, char** argv, const QString& path, int idleMs)
{
    QApplication app(argc, argv);
    QTextEdit edit;
    edit.resize(800, 600);
    edit.show();
    while (edit.windowHandle() == nullptr || !edit.windowHandle()->isExposed()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    QCoreApplication::processEvents();
    QTextEditDocumentView view(&edit);

    QElapsedTimer timer;
    timer.start();
    QString reason;
    const char* outcome = "shown";
    if (const std::optional<QByteArray> bytes = ViewFile::read(path, &reason)) {
        if (!ViewFile::show(view, *bytes, &reason)) {
            outcome = "refused";
        }
    } else {
        outcome = "refused";
    }
    QCoreApplication::processEvents();
    const double loadMs = double(timer.nsecsElapsed()) / 1e6;

    const double before = processorMs();
    QEventLoop idle;
    QTimer::singleShot(idleMs, Qt::PreciseTimer, &idle, &QEventLoop::quit);
    idle.exec();
    const double idlePercent = (processorMs() - before) * 100.0 / idleMs;
    std::printf("%.1f %.1f %.1f %s\n", loadMs, peakMegabytes(), idlePercent, outcome);
    return 0;
}

QByteArray repeated(const QByteArray& head, const QByteArray& unit, qint64 bytes,
                    const QByteArray& tail)
{
    QByteArray out = head;
    out.reserve(bytes + tail.size() + unit.size());
    while (out.size() < bytes) {
        out += unit;
    }
    return out + tail;
}

struct Sample
{
    const char* name;
    QByteArray rtf;
    const char* loadTarget;
    bool refused;
};

QByteArray ordinaryDocument()
{
    QByteArray body;
    for (int i = 0; i < 5000; ++i) {
        body += "\\pard\\qc{\\b Item} " + QByteArray::number(i) +
                " {\\i note} caf\\'e9 \\u8364? {\\cf1 red}\\par\n";
    }
    return "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red255\\green0\\blue0;}" + body +
           "}";
}

QByteArray tableOfCells(int rows, int cellsPerRow)
{
    QByteArray row = "\\trowd";
    for (int cell = 1; cell <= cellsPerRow; ++cell) {
        row += "\\cellx" + QByteArray::number(cell * 100);
    }
    row += "\n";
    for (int cell = 0; cell < cellsPerRow; ++cell) {
        row += "\\intbl c\\cell ";
    }
    row += "\\row\n";
    QByteArray out = "{\\rtf1\\ansi ";
    for (int i = 0; i < rows; ++i) {
        out += row;
    }
    return out + "}";
}

int runAll()
{
    const qint64 fifty = qint64(50) << 20;
    const int depth = 1'500'000;
    const Sample samples[] = {
        {"rtf_ordinary_5000_paragraphs", ordinaryDocument(), "<1000", false},
        {"rtf_hostile_lines_50mb", repeated("{\\rtf1\\ansi ", "line \\par\n", fifty, "}"), "<5000",
         true},
        {"rtf_hostile_nested_1500000",
         "{\\rtf1 " + QByteArray("{\\b a{\\b0 b").repeated(depth / 2) + QByteArray(depth, '}') +
             "}",
         "<5000", true},
        {"rtf_hostile_table_200000_cells", tableOfCells(20'000, 10), "<5000", true},
        {"rtf_picture_60mb",
         repeated("{\\rtf1\\ansi A picture:{\\pict\\pngblip ", "0123456789abcdef", 60 << 20, "}}"),
         "<5000", false},
        {"rtf_hostile_row_200000_cells", tableOfCells(1, 200'000), "<5000", true},
    };
    QTemporaryDir dir;
    for (const Sample& sample : samples) {
        const QString path =
            dir.filePath(QString::fromLatin1(sample.name) + QStringLiteral(".rtf"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(sample.rtf) != sample.rtf.size()) {
            std::printf("%s_load failed ms %s\n", sample.name, sample.loadTarget);
            return 1;
        }
        file.close();
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--once"), path});
        if (!child.waitForFinished(kChildTimeoutMs)) {
            child.kill();
            child.waitForFinished();
            std::printf("%s_load timeout ms %s\n", sample.name, sample.loadTarget);
            continue;
        }
        const QList<QByteArray> figures = child.readAllStandardOutput().trimmed().split(' ');
        if (figures.size() != 4) {
            std::printf("%s_load failed ms %s\n", sample.name, sample.loadTarget);
            continue;
        }
        const double inputMb = double(sample.rtf.size()) / double(1 << 20);
        std::printf("%s_load %s ms %s\n", sample.name, figures[0].constData(), sample.loadTarget);
        std::printf("%s_peak_rss %s MB <%.0f\n", sample.name, figures[1].constData(),
                    150.0 + 4.0 * inputMb);
        std::printf("%s_idle_cpu %s %% <5\n", sample.name, figures[2].constData());
        // Ordinary files are shown, hostile ones refused.
        std::printf("%s_refused %d - %s\n", sample.name, figures[3] == "refused" ? 1 : 0,
                    sample.refused ? "=1" : "=0");
        std::fflush(stdout);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 2 && qstrcmp(argv[1], "--once") == 0) {
        return measureOnce(argc, argv, QString::fromLocal8Bit(argv[2]),
                           argc > 3 ? QByteArray(argv[3]).toInt() : kIdleMs);
    }
    QCoreApplication app(argc, argv);
    return runAll();
}
