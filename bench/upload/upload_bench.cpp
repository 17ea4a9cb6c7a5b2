// A 1 MB terminal program sent by the program's upload, UploadProtocol::sendProgram through the
// real libvorlak, to qel-sim with --line-rate at 38400 baud.
//
//   upload_1mb_line_ratio: the time from the first of the five writes until the port is closed
//     after the terminal's "OK", divided by the time the upload's bytes need on the line (bytes x
//     10 bits / 38400). Target: at most 1.05 plus the receiver's end pause, which the reply has
//     to wait out.
//   upload_1mb_seconds: that time.
//   upload_noise1pct_vs_clean, upload_noise01pct_vs_clean: a terminal program of a realistic
//     size (100 KB) sent kNoiseRuns times to qel-sim with --line-rate and --noise 0.01 or 0.001
//     (which damages the bytes the terminal sends, its OK/ERR reply among them): the mean time
//     from the first write until the port is closed after the terminal's "OK", divided by the
//     mean of the same uploads on a clean line. A damaged reply costs one more upload of the
//     whole program. Targets as for a noisy reading: at most 2.5 and 1.3.
//   upload_one_bad_reply_vs_clean: one such upload that the terminal refuses once (qel-sim
//     --upload-fail 1), against the clean mean: the cost of one refused or damaged reply.
#include "acquisition/readingsession.h"
#include "common/appstate.h"
#include "common/eventpump.h"
#include "common/mainwindowcontrols.h"
#include "common/memorysettingsstore.h"
#include "common/userdialogs.h"
#include "i18n/uilanguage.h"
#include "link/vorlaklibrary.h"
#include "programreceiver.h"
#include "simterminal.h"
#include "upload/uploadhost.h"
#include "upload/uploadprotocol.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <optional>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kPort = 7;
constexpr qsizetype kImageBytes = 1024 * 1024;
constexpr qsizetype kRealisticImageBytes = 100 * 1024;
constexpr int kNoiseRuns = 4;

/// The real library, noting when the upload's first byte goes and when the port is let go.
class TimedLibrary : public VorlakLibrary
{
public:
    using VorlakLibrary::VorlakLibrary;
    void IO_Write(std::int32_t port, const QByteArray& bytes) override
    {
        if (!firstWrite) {
            firstWrite = Clock::now();
        }
        VorlakLibrary::IO_Write(port, bytes);
    }
    void IO_Close(std::int32_t port) override
    {
        closed = Clock::now();
        VorlakLibrary::IO_Close(port);
    }
    std::optional<Clock::time_point> firstWrite;
    Clock::time_point closed;
};

/// Every message is a failure here; it goes to the error output.
class StderrDialogs : public UserDialogs
{
public:
    void showMessage(const QString& text, const QString&, MessageIcon) override
    {
        std::fprintf(stderr, "bench_upload: %s\n", qPrintable(text));
    }
    bool askYesNo(const QString&, const QString&) override { return false; }
    std::optional<QString> askText(const QString&, const QString&, const QString&) override
    {
        return std::nullopt;
    }
    std::optional<QString> openFileName(const FileDialogRequest&) override { return {}; }
    std::optional<QString> saveFileName(const FileDialogRequest&) override { return {}; }
    void setBusy(bool) override {}
};

class Quiet : public EventPump, public MainWindowControls, public UploadProgress
{
public:
    void processEvents() override {}
    void waitWithEvents(std::chrono::milliseconds) override {}
    void setStatusText(int, const QString&) override {}
    QString statusText(int) const override { return {}; }
    void setTimerEnabled(bool) override {}
    bool timerEnabled() const override { return false; }
    bool isMinimised() const override { return false; }
    void setUploadStatus(const QString&) override {}
};

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray imageOf(qsizetype size)
{
    QByteArray image(size, '\0');
    for (qsizetype i = 0; i < image.size(); ++i) {
        image[i] = static_cast<char>((static_cast<std::uint32_t>(i) * 7919U) >> 3U);
    }
    return image;
}

bool writeProgram(const QString& base, const QByteArray& header, const QByteArray& image)
{
    QFile imageFile(base + QStringLiteral(".bin"));
    QFile headerFile(base + QStringLiteral(".hea"));
    return imageFile.open(QIODevice::WriteOnly) && imageFile.write(image) == image.size() &&
           headerFile.open(QIODevice::WriteOnly) && headerFile.write(header) == header.size();
}

/// The program's side of an upload on port 7 through the real library, reading in between.
struct Sender
{
    Sender()
    {
        static_cast<void>(store.write(QStringLiteral("ComPort"), QStringLiteral("Com7")));
        language.applyLanguage(QStringLiteral("English"));
        state.settings.ComPortNumber = kPort;
        state.settings.BaudRate9600 = kBaudRate9600;
        state.TerminalOnCradle = true;
        session.startReceiving();
    }
    ~Sender() { session.stopReceiving(); }
    Sender(const Sender&) = delete;
    Sender& operator=(const Sender&) = delete;

    /// Seconds from the first of the upload's writes until the port was let go after "OK";
    /// negative when the upload failed.
    double timedUpload(const QString& base)
    {
        library.firstWrite.reset();
        if (protocol.sendProgram(base) != UploadProtocol::Outcome::Sent || !library.firstWrite) {
            return -1.0;
        }
        return std::chrono::duration<double>(library.closed - *library.firstWrite).count();
    }

    StderrDialogs dialogs;
    Quiet quiet;
    MemorySettingsStore store;
    UiLanguage language;
    AppState state;
    TimedLibrary library{dialogs, {QString::fromLocal8Bit(qgetenv("KOLBRIN_BIN_DIR")), {}, false}};
    ReadingSession session{library, state, quiet, quiet, dialogs, language};
    UploadProtocol protocol{library, state, session, store, quiet, dialogs, language, quiet};
};

/// Mean seconds of `runs` uploads of `base` to one qel-sim started with `options`, or a negative
/// value when one failed. The uploads the terminal took, resends included, are told.
double meanUploadSeconds(const QString& folder, const QStringList& options, const QString& base,
                         const QByteArray& image, int runs)
{
    SimTerminal sim(folder, kPort);
    QString error;
    if (!sim.start(R"({"id": "T1", "documents": []})", options, &error)) {
        std::fprintf(stderr, "bench_upload: qel-sim did not start: %s\n", qPrintable(error));
        return -1.0;
    }
    Sender sender;
    double total = 0.0;
    for (int run = 0; run < runs; ++run) {
        const double seconds = sender.timedUpload(base);
        if (seconds < 0 ||
            fileBytes(sim.statePath(QStringLiteral("upload/program.bin"))) != image) {
            std::fprintf(stderr, "bench_upload: upload %d with %s failed\n", run + 1,
                         qPrintable(options.join(QLatin1Char(' '))));
            return -1.0;
        }
        total += seconds;
    }
    const QString size = QString::number(image.size());
    std::fprintf(
        stderr, "bench_upload: %s: %d uploads, %d taken by the terminal, %d refused, mean %.2f s\n",
        qPrintable(options.join(QLatin1Char(' '))), runs,
        sim.eventCount(QStringLiteral("UPLOAD OK ") + size),
        sim.eventCount(QStringLiteral("UPLOAD REFUSED ") + size), total / runs);
    return total / runs;
}

/// The noise figures, and what one bad reply costs; false when an upload failed.
bool noiseFigures(const QString& folder)
{
    const QByteArray image = imageOf(kRealisticImageBytes);
    const QString base = QDir(folder).filePath(QStringLiteral("realistic"));
    const auto rate = QStringLiteral("--line-rate");
    bool ok = writeProgram(base, "BENCH100", image);
    const double clean = ok ? meanUploadSeconds(QDir(folder).filePath(QStringLiteral("clean")),
                                                {rate}, base, image, kNoiseRuns)
                            : -1.0;
    const struct
    {
        const char* name;
        QStringList options;
        int runs;
        const char* target;
    } figures[] = {
        {"upload_noise1pct_vs_clean",
         {rate, QStringLiteral("--noise"), QStringLiteral("0.01"), QStringLiteral("--seed"),
          QStringLiteral("1")},
         kNoiseRuns,
         "<=2.5"},
        {"upload_noise01pct_vs_clean",
         {rate, QStringLiteral("--noise"), QStringLiteral("0.001"), QStringLiteral("--seed"),
          QStringLiteral("1")},
         kNoiseRuns,
         "<=1.3"},
        // A refusal is handled as a damaged reply is: the line is judged and the program sent
        // again at once. This is what each damaged reply adds to an upload.
        {"upload_one_bad_reply_vs_clean",
         {rate, QStringLiteral("--upload-fail"), QStringLiteral("1")},
         1,
         "<=2.1"},
    };
    int index = 0;
    for (const auto& figure : figures) {
        const double seconds =
            clean > 0 ? meanUploadSeconds(QDir(folder).filePath(QString::number(++index)),
                                          figure.options, base, image, figure.runs)
                      : -1.0;
        if (seconds < 0) {
            std::printf("%s failed ratio %s\n", figure.name, figure.target);
            ok = false;
            continue;
        }
        std::printf("%s %.4f ratio %s\n", figure.name, seconds / clean, figure.target);
    }
    return ok;
}

int fail(const char* why)
{
    std::fprintf(stderr, "bench_upload: %s\n", why);
    std::printf("upload_1mb_line_ratio failed ratio <=1.05+pause\n");
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty("KOLBRIN_BIN_DIR")) {
        qputenv("KOLBRIN_BIN_DIR", KOLBRIN_BENCH_BIN_DIR);
    }
    QTemporaryDir dir;
    if (!dir.isValid()) {
        return fail("no temporary folder");
    }
    const QByteArray image = imageOf(kImageBytes);
    const QString base = dir.filePath(QStringLiteral("prog"));
    if (!writeProgram(base, "BENCH1MB", image)) {
        return fail("cannot write the program files");
    }
    double took = -1.0;
    {
        SimTerminal sim(dir.filePath(QStringLiteral("1mb")), kPort);
        QString error;
        if (!sim.start(R"({"id": "T1", "documents": []})", {QStringLiteral("--line-rate")},
                       &error)) {
            return fail(qPrintable(QStringLiteral("qel-sim did not start: ") + error));
        }
        Sender sender;
        took = sender.timedUpload(base);
        if (took < 0) {
            return fail("the upload did not succeed");
        }
        if (fileBytes(sim.statePath(QStringLiteral("upload/program.bin"))) != image) {
            return fail("the terminal holds a different image");
        }
    }
    const double wireBytes = 1 + 8 + 4 + static_cast<double>(kImageBytes) + 4;
    const double lineSeconds = wireBytes * 10.0 / UploadProtocol::kUploadSpeed;
    const double pauseShare =
        std::chrono::duration<double>(qelsim::ProgramReceiver::kEndPause).count() / lineSeconds;
    std::printf("upload_1mb_line_ratio %.4f ratio <=%.4f\n", took / lineSeconds, 1.05 + pauseShare);
    std::printf("upload_1mb_seconds %.2f s -\n", took);
    std::fflush(stdout);
    return noiseFigures(dir.path()) ? 0 : 1;
}
