// A 1 MB terminal program sent by the program's upload, UploadProtocol::sendProgram through the
// real libvorlak, to qel-sim with --line-rate at 38400 baud.
//
//   upload_1mb_line_ratio: the time from the first of the five writes until the port is closed
//     after the terminal's "OK", divided by the time the upload's bytes need on the line (bytes x
//     10 bits / 38400). Target: at most 1.05 plus the receiver's end pause, which the reply has
//     to wait out.
//   upload_1mb_seconds: that time.
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
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <optional>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kPort = 7;
constexpr qsizetype kImageBytes = 1024 * 1024;

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
    void showMessage(const QString& text, const QString&) override
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
    SimTerminal sim(dir.path(), kPort);
    QString error;
    if (!dir.isValid() ||
        !sim.start(R"({"id": "T1", "documents": []})", {QStringLiteral("--line-rate")}, &error)) {
        return fail(qPrintable(QStringLiteral("qel-sim did not start: ") + error));
    }

    QByteArray image(kImageBytes, '\0');
    for (qsizetype i = 0; i < image.size(); ++i) {
        image[i] = static_cast<char>((static_cast<std::uint32_t>(i) * 7919U) >> 3U);
    }
    const QString base = dir.filePath(QStringLiteral("prog"));
    QFile imageFile(base + QStringLiteral(".bin"));
    QFile headerFile(base + QStringLiteral(".hea"));
    if (!imageFile.open(QIODevice::WriteOnly) || imageFile.write(image) != image.size() ||
        !headerFile.open(QIODevice::WriteOnly) || headerFile.write("BENCH1MB") != 8) {
        return fail("cannot write the program files");
    }
    imageFile.close();
    headerFile.close();

    StderrDialogs dialogs;
    Quiet quiet;
    MemorySettingsStore store;
    static_cast<void>(store.write(QStringLiteral("ComPort"), QStringLiteral("Com7")));
    UiLanguage language;
    language.applyLanguage(QStringLiteral("English"));
    AppState state;
    state.settings.ComPortNumber = kPort;
    state.settings.BaudRate9600 = kBaudRate9600;
    state.TerminalOnCradle = true;
    TimedLibrary library(dialogs, {QString::fromLocal8Bit(qgetenv("KOLBRIN_BIN_DIR")), {}, false});
    ReadingSession session(library, state, quiet, quiet, dialogs, language);
    session.startReceiving();
    UploadProtocol protocol(library, state, session, store, quiet, dialogs, language, quiet);

    if (protocol.sendProgram(base) != UploadProtocol::Outcome::Sent || !library.firstWrite) {
        return fail("the upload did not succeed");
    }
    session.stopReceiving();
    if (fileBytes(sim.statePath(QStringLiteral("upload/program.bin"))) != image) {
        return fail("the terminal holds a different image");
    }
    const std::chrono::duration<double> took = library.closed - *library.firstWrite;
    const double wireBytes = 1 + 8 + 4 + static_cast<double>(kImageBytes) + 4;
    const double lineSeconds = wireBytes * 10.0 / UploadProtocol::kUploadSpeed;
    const double pauseShare =
        std::chrono::duration<double>(qelsim::ProgramReceiver::kEndPause).count() / lineSeconds;
    std::printf("upload_1mb_line_ratio %.4f ratio <=%.4f\n", took.count() / lineSeconds,
                1.05 + pauseShare);
    std::printf("upload_1mb_seconds %.2f s -\n", took.count());
    return 0;
}
