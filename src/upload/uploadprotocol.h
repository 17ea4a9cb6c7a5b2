#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

class CommLibrary;
class EventPump;
class ReadingSession;
class SettingsStore;
class UiLanguage;
class UploadProgress;
class UserDialogs;
struct AppState;

/// How long an upload waits for the terminal.
struct UploadTiming
{
    /// How long the terminal may stay silent while the reply is awaited.
    std::int32_t replyWaitMs = 10000;
};

/// Sends a terminal program (image ".bin" and header ".hea") over the raw serial port: "S", the
/// 8 header bytes and their two checksums, then the image and its two checksums, five writes in
/// all; the terminal answers "OK" or "ERR", each followed by CR LF. Up to three attempts.
///
/// Both files are read and checked before the terminal's program is stopped, so a bad choice of
/// file never leaves the terminal without a program. The reading session is ended before the
/// port is opened for raw bytes and opened again on every way out. When the terminal's program
/// was stopped and no attempt was confirmed, the message says that the terminal has no program
/// to run until an upload succeeds.
///
/// The reply is judged by its first line alone: only "OK" exactly confirms. A damaged line
/// proves nothing either way, so it is treated like a refusal and the program is sent again,
/// which is safe: the terminal takes a whole upload or nothing, and a program it took already
/// is replaced by the same bytes.
class UploadProtocol
{
public:
    using Timing = UploadTiming;

    enum class Outcome {
        Sent,      ///< the terminal answered "OK"
        FileError, ///< a program file could not be read; nothing was sent
        PortError, ///< the port could not be opened for raw bytes
        NoAnswer,  ///< no "OK" after the last attempt
    };

    /// What one attempt heard from the terminal.
    enum class Reply {
        Confirmed, ///< "OK"
        Refused,   ///< "ERR"
        Damaged,   ///< a line that is neither: bytes lost or changed on the way
        Silent,    ///< nothing within the wait
    };

    /// The bytes of a program as they go on the wire, and its name for messages.
    struct Program
    {
        QByteArray header; ///< exactly kHeaderLength bytes
        QByteArray image;
        QString name; ///< the image's path
    };

    static constexpr int kAttempts = 3;
    static constexpr std::int32_t kUploadSpeed = 38400;
    static constexpr int kHeaderLength = 8;
    /// Larger than any terminal's program memory; a bigger file is surely the wrong one.
    static constexpr qint64 kMaxImageBytes = 16 * 1024 * 1024;
    /// A reply that brings this many bytes without "OK" is not going to bring it.
    static constexpr int kMaxReplyBytes = 1024;
    /// Stale input drained before an attempt, at most.
    static constexpr int kMaxDrainBytes = 4096;
    /// Once the reply has begun, its next byte comes within this or the line has ended: the
    /// terminal sends its line in one go (five characters take 1.3 ms at 38400 baud).
    static constexpr std::int32_t kReplyByteGapMs = 1000;
    /// Presence checks before the terminal is taken to be off the cradle: one check may miss a
    /// terminal that a loaded machine did not let answer in time.
    static constexpr int kPresenceChecks = 3;
    /// The image goes out in writes of at most this many bytes, the progress told after each:
    /// about half a second each at kUploadSpeed.
    static constexpr int kWritePiece = 2048;

    UploadProtocol(CommLibrary& library, AppState& state, ReadingSession& session,
                   SettingsStore& store, EventPump& pump, UserDialogs& dialogs,
                   const UiLanguage& language, UploadProgress& progress, Timing timing = {});

    /// The whole upload of Filename + ".hea" and Filename + ".bin", with its messages.
    Outcome sendProgram(const QString& Filename);
    /// The whole upload of a program already read, with its messages.
    Outcome send(const Program& program);

    /// The program as sent: the first kHeaderLength bytes of the header file, a shorter one
    /// filled with spaces (the filler the terminal takes for "no header"), and the image.
    [[nodiscard]] static Program programOf(const QByteArray& headerFile, const QByteArray& image,
                                           const QString& imagePath);
    /// The terminal's verdict in the first line of what it sent after an upload; leading line
    /// ends are skipped.
    [[nodiscard]] static Reply judgeReply(const QByteArray& reply);

    /// Adds one byte (0 to 255) to both checksums.
    void addToChecksums(int byteValue);
    void resetChecksums();
    /// Checksums the character's byte, then writes that 1 byte.
    void sendChar(char character);
    /// Checksums every byte in order, then writes them all in one write.
    void sendText(const QByteArray& text);
    /// Sends Checksum1 and Checksum2, each low byte first, through sendText.
    void sendChecksums();

    [[nodiscard]] std::int32_t checksum1() const { return m_checksum1; }
    [[nodiscard]] std::int32_t checksum2() const { return m_checksum2; }

    /// The 4 bytes sendChecksums sends for the given checksums.
    [[nodiscard]] static QByteArray checksumBytes(std::int32_t checksum1, std::int32_t checksum2);

private:
    [[nodiscard]] std::optional<Program> readProgram(const QString& Filename);
    [[nodiscard]] bool terminalPresent();
    [[nodiscard]] Reply sendAttempt(const Program& program, int attempt);
    void drainInput();
    [[nodiscard]] QByteArray waitForReply();
    void finish(const QString& message);
    /// Tells the progress after `count` more bytes of the attempt have been written.
    void advance(qint64 count);

    CommLibrary& m_library;
    AppState& m_state;
    ReadingSession& m_session;
    SettingsStore& m_store;
    EventPump& m_pump;
    UserDialogs& m_dialogs;
    const UiLanguage& m_language;
    UploadProgress& m_progress;
    Timing m_timing;

    std::int32_t m_checksum1 = 0;
    std::int32_t m_checksum2 = 0;
    /// The port of the upload in progress.
    std::int32_t m_port = 0;
    /// Bytes of the attempt in progress: written so far, in all, and its number.
    qint64 m_sent = 0;
    qint64 m_total = 0;
    int m_attempt = 0;
};
