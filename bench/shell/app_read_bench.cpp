// The built program against qel-sim, offscreen: the time from a terminal put in the cradle to
// its output file written, with a fresh profile set for automatic reading into one file.
//
//   app_read_5000_seconds, app_read_50000_seconds: one document of 5,000 (50,000) records, no
//     line pacing. Targets: 50,000 records in at most 3 s, and at most 12 times the 5,000.
//   app_read_5000_to_50000_ratio: the two above divided.
//   app_read_10000_at_9600_line_ratio: 10,000 records in one document with --line-rate at 9600
//     baud, divided by the line time of the record stream the terminal sends (bytes x 10 bits /
//     9600). Target: at most 1.03.
//
// The unpaced readings are documents of 10 records, each read with its header: every document
// is a piece added to the window, the path whose cost grew with the square of the reading.
//
// KOLBRIN_BENCH_RECORDS shortens the paced reading for a quick look; KOLBRIN_APP runs another
// build of the program.
#include "qelsimprocess.h"
#include "scratchdir.h"
#include "terminalpayload.h"

#include <QCoreApplication>
#include <QProcess>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;
constexpr int kSpeed = 9600;
/// Records in each document: every document is a header and an entries call, and a piece added
/// to the window.
constexpr int kPerDocument = 10;

/// Seconds from "place" to the output file holding `records` lines (documents of `perDocument`
/// records, each read with its header), or a negative value when
/// the program does not deliver them within `limit`.
double placeToFile(int records, int perDocument, const std::vector<std::string>& simOptions,
                   std::chrono::seconds limit)
{
    ScratchDir dir;
    const fs::path root = dir.path();
    const fs::path config = root / "config";
    const fs::path output = root / "out" / "data.txt";
    fs::create_directories(config / "Kolbrin");
    fs::create_directories(config / "vorlak");
    fs::create_directories(root / "data" / "qel" / "bin_offline");
    fs::create_directories(output.parent_path());
    fs::create_directories(root / "app");
    std::ofstream(config / "vorlak" / "ports.conf") << "COM1=" << (root / "com1").string() << "\n";
    std::ofstream(config / "Kolbrin" / "Kolbrin.ini")
        << "[Setup]\nLanguage=English\nComPort=Com1\nAutomaticMode=True\nManualMode=False\n"
           "InsertKeys=False\nAutoStart=1\nNewFile=True\nIncrNumber=False\nAppendFile=False\n"
           "MyFileName="
        << output.string() << "\nAsciiDataFormat2=[Doc][XXXX]\n";

    perDocument = std::min(perDocument, records);
    TerminalFile terminal = TerminalFile::numbered(records / perDocument, perDocument);
    terminal.id = "BENCH1";
    terminal.bodyTemplate = "[Code][XXXXXXXX] [Qty][XXXX]";
    terminal.write(root / "terminal.json");

    // The program moves a library found beside it into the profile: run a copy.
    // KOLBRIN_APP names another build of the program to compare with.
    const fs::path bin = fs::path(QelSimProcess::programPath()).parent_path();
    const char* other = std::getenv("KOLBRIN_APP");
    fs::copy_file(other != nullptr ? fs::path(other) : bin / "kolbrin", root / "app" / "kolbrin");
    fs::copy_file(bin / "libvorlak.so", root / "app" / "libvorlak.so");

    QelSimProcess sim;
    std::vector<std::string> args{"--terminal", root / "terminal.json", "--link",   root / "com1",
                                  "--state",    root / "state",         "--removed"};
    args.insert(args.end(), simOptions.begin(), simOptions.end());
    if (!sim.start(args)) {
        std::fprintf(stderr, "bench_app_read: qel-sim did not start: %s\n",
                     sim.errorOutput().c_str());
        return -1.0;
    }
    QProcess app;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(config.string()));
    env.insert(QStringLiteral("XDG_DATA_HOME"), QString::fromStdString((root / "data").string()));
    app.setProcessEnvironment(env);
    app.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    app.start(QString::fromStdString((root / "app" / "kolbrin").string()), {});
    if (!app.waitForStarted()) {
        return -1.0;
    }
    // The program first meets an empty cradle, as when a user brings the terminal later.
    std::this_thread::sleep_for(std::chrono::seconds(3));
    const auto start = Clock::now();
    sim.send("place");
    double seconds = -1.0;
    while (Clock::now() - start < limit) {
        std::error_code error;
        if (fs::file_size(output, error) > 0 && !error) {
            seconds = std::chrono::duration<double>(Clock::now() - start).count();
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (seconds > 0) {
        std::ifstream in(output);
        const auto lines =
            std::count(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>(), '\n');
        // A header line for each document, a line for each record.
        if (lines < records + records / perDocument) {
            std::fprintf(stderr, "bench_app_read: %ld lines written, %d expected\n",
                         static_cast<long>(lines), records);
            seconds = -1.0;
        }
    }
    app.kill();
    app.waitForFinished();
    sim.send("quit");
    (void)sim.wait();
    return seconds;
}

void printFigure(const char* name, double value, const char* unit, const char* target)
{
    if (value > 0) {
        std::printf("%s %.3f %s %s\n", name, value, unit, target);
    } else {
        std::printf("%s failed %s %s\n", name, unit, target);
    }
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication qapp(argc, argv);
    const char* shape = std::getenv("KOLBRIN_BENCH_PER_DOCUMENT");
    const int perDocument = shape != nullptr ? std::max(1, std::atoi(shape)) : kPerDocument;
    const double small = placeToFile(5000, perDocument, {}, std::chrono::seconds(120));
    printFigure("app_read_5000_seconds", small, "s", "-");
    const double large = placeToFile(50000, perDocument, {}, std::chrono::seconds(600));
    printFigure("app_read_50000_seconds", large, "s", "<=3");
    printFigure("app_read_5000_to_50000_ratio", small > 0 && large > 0 ? large / small : -1.0,
                "ratio", "<=12");

    const char* override = std::getenv("KOLBRIN_BENCH_RECORDS");
    const int paced = override != nullptr ? std::max(100, std::atoi(override)) : 10000;
    // One document, as the library's own line-rate figure reads it: the requests and
    // turnarounds of many documents are the protocol's cost, not the program's.
    const double pacedSeconds =
        placeToFile(paced, paced, {"--line-rate"}, std::chrono::seconds(900));
    TerminalFile terminal = TerminalFile::numbered(1, paced);
    const double lineSeconds = static_cast<double>(terminalPayloadBytes(terminal)) * 10.0 / kSpeed;
    printFigure("app_read_10000_at_9600_line_ratio",
                pacedSeconds > 0 ? pacedSeconds / lineSeconds : -1.0, "ratio", "<=1.03");
    return small > 0 && large > 0 && pacedSeconds > 0 ? 0 : 1;
}
