#include "uploadprotocol.h"

#include "acquisition/porterror.h"
#include "acquisition/readingsession.h"
#include "common/appstate.h"
#include "common/eventpump.h"
#include "common/fileoperations.h"
#include "common/settings.h"
#include "common/settingsconversions.h"
#include "common/settingsstore.h"
#include "common/userdialogs.h"
#include "i18n/uilanguage.h"
#include "link/commlibrary.h"
#include "programcatalogue.h"
#include "uploadhost.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>

namespace {

constexpr int kRowSending = 44;
/// Lets the terminal settle after its program was stopped, and after it took the new one.
constexpr std::int32_t kSettleMs = 1000;
/// Wait limit of each read while stale input is drained.
constexpr std::int32_t kDrainWaitMs = 1;
/// The whole reply wait, however the terminal trickles its bytes, in wait limits.
constexpr int kReplyWaitLimits = 3;

QString fileErrorMessage(const QString& path, const QString& reason)
{
    return QCoreApplication::translate("UploadProtocol", "Error opening file :%1\n\n%2")
        .arg(path, reason);
}

/// What the user must know once the terminal's program was stopped and the new one was not
/// confirmed: the terminal is of no use until an upload succeeds.
QString stoppedTerminalNote(const QString& imagePath, bool stopConfirmed)
{
    return (stopConfirmed
                ? QCoreApplication::translate(
                      "UploadProtocol",
                      "The terminal's own program has been stopped: the upload of %1 must be "
                      "repeated before the terminal can be used. Leave the terminal on its cradle "
                      "and install the program again.")
                : QCoreApplication::translate(
                      "UploadProtocol",
                      "The terminal's own program may have been stopped: the upload of %1 must be "
                      "repeated before the terminal can be used. Leave the terminal on its cradle "
                      "and install the program again."))
        .arg(quotedPath(imagePath));
}

QString unconfirmedMessage(int attempts, bool damagedReply)
{
    return (damagedReply
                ? QCoreApplication::translate(
                      "UploadProtocol",
                      "The terminal did not confirm the upload in %1 attempts. Some of "
                      "its answers arrived damaged, so it may have taken the program "
                      "after all; sending it again does no harm.")
                : QCoreApplication::translate(
                      "UploadProtocol", "The terminal did not confirm the upload in %1 attempts."))
        .arg(attempts);
}

bool isLineEnd(char byte)
{
    return byte == '\r' || byte == '\n';
}

} // namespace

UploadProtocol::UploadProtocol(CommLibrary& library, AppState& state, ReadingSession& session,
                               SettingsStore& store, EventPump& pump, UserDialogs& dialogs,
                               const UiLanguage& language, UploadProgress& progress, Timing timing)
    : m_library(library)
    , m_state(state)
    , m_session(session)
    , m_store(store)
    , m_pump(pump)
    , m_dialogs(dialogs)
    , m_language(language)
    , m_progress(progress)
    , m_timing(timing)
{
}

void UploadProtocol::addToChecksums(int byteValue)
{
    const std::int32_t added = (byteValue + 1) & 0xFF;
    // Checksum2 is rotated left as a 16-bit value before the byte is added.
    m_checksum2 *= 2;
    if ((m_checksum2 & 0x10000) != 0) {
        m_checksum2 |= 1;
    }
    m_checksum1 = (m_checksum1 + added) & 0xFFFF;
    m_checksum2 = (m_checksum2 + added) & 0xFFFF;
}

void UploadProtocol::resetChecksums()
{
    m_checksum1 = 0;
    m_checksum2 = 0;
}

void UploadProtocol::sendChar(char character)
{
    addToChecksums(static_cast<unsigned char>(character));
    m_library.IO_Write(m_port, QByteArray(1, character));
    advance(1);
}

void UploadProtocol::sendText(const QByteArray& text)
{
    for (const char byte : text) {
        addToChecksums(static_cast<unsigned char>(byte));
    }
    if (text.isEmpty()) {
        m_library.IO_Write(m_port, text);
        return;
    }
    // In pieces, so that the progress moves while a large image goes out; the bytes on the
    // wire are the same.
    for (qsizetype from = 0; from < text.size(); from += kWritePiece) {
        const QByteArray piece = text.mid(from, kWritePiece);
        m_library.IO_Write(m_port, piece);
        advance(piece.size());
    }
}

void UploadProtocol::advance(qint64 count)
{
    m_sent += count;
    if (m_total > 0) {
        m_progress.setUploadProgress(m_sent, m_total, m_attempt);
    }
}

QByteArray UploadProtocol::checksumBytes(std::int32_t checksum1, std::int32_t checksum2)
{
    QByteArray bytes(4, '\0');
    bytes[0] = static_cast<char>(checksum1 & 0xFF);
    bytes[1] = static_cast<char>((checksum1 >> 8) & 0xFF);
    bytes[2] = static_cast<char>(checksum2 & 0xFF);
    bytes[3] = static_cast<char>((checksum2 >> 8) & 0xFF);
    return bytes;
}

void UploadProtocol::sendChecksums()
{
    sendText(checksumBytes(m_checksum1, m_checksum2));
}

std::optional<UploadProtocol::Program> UploadProtocol::readProgram(const QString& Filename)
{
    const QString headerPath = ProgramFiles::withExtension(Filename, QStringLiteral("hea"));
    const ProgramFiles::ReadResult header =
        ProgramFiles::read(headerPath, kMaxImageBytes, /*allowEmpty=*/true);
    if (!header.ok()) {
        m_dialogs.showError(fileErrorMessage(headerPath, header.error));
        return std::nullopt;
    }
    const QString imagePath = ProgramFiles::withExtension(Filename, QStringLiteral("bin"));
    const ProgramFiles::ReadResult image =
        ProgramFiles::read(imagePath, kMaxImageBytes, /*allowEmpty=*/false);
    if (!image.ok()) {
        m_dialogs.showError(fileErrorMessage(imagePath, image.error));
        return std::nullopt;
    }
    return programOf(header.bytes, image.bytes, imagePath);
}

UploadProtocol::Program UploadProtocol::programOf(const QByteArray& headerFile,
                                                  const QByteArray& image, const QString& imagePath)
{
    return Program{headerFile.left(kHeaderLength).leftJustified(kHeaderLength, ' '), image,
                   imagePath};
}

UploadProtocol::Reply UploadProtocol::judgeReply(const QByteArray& reply)
{
    qsizetype start = 0;
    while (start < reply.size() && isLineEnd(reply[start])) {
        ++start;
    }
    if (start == reply.size()) {
        return Reply::Silent;
    }
    qsizetype end = start;
    while (end < reply.size() && !isLineEnd(reply[end])) {
        ++end;
    }
    const QByteArray line = reply.mid(start, end - start);
    if (line == "OK") {
        return Reply::Confirmed;
    }
    return line == "ERR" ? Reply::Refused : Reply::Damaged;
}

bool UploadProtocol::terminalPresent()
{
    // Asked on the line itself: the acquisition cycle's flag is not set before its first tick,
    // and Install opens the reading session (perhaps on another port) just before the upload.
    for (int check = 0; check < kPresenceChecks; ++check) {
        if (m_library.I_CheckTerminal(m_state.TerminalId) > 0) {
            return true;
        }
    }
    return false;
}

UploadProtocol::Outcome UploadProtocol::sendProgram(const QString& Filename)
{
    // Everything that can be checked without the terminal is checked before its program is
    // stopped: a missing or empty file must not leave it without one.
    const std::optional<Program> program = readProgram(Filename);
    if (!program) {
        return Outcome::FileError;
    }
    return send(*program);
}

UploadProtocol::Outcome UploadProtocol::send(const Program& program)
{
    m_port = SettingsConversions::comPortNumber(
                 m_store.readSetting(SettingsKey::ComPort, SettingsDefault::ComPort))
                 .value_or(0);
    if (!terminalPresent()) {
        m_dialogs.showWarning(m_language.MsgPlaceTerminal());
    }
    const std::int32_t stopped = m_library.I_KillProgram(m_state.TerminalId);
    if (stopped == CommLibrary::kCommError) {
        m_dialogs.showError(m_language.MsgCommError());
    }
    const bool stopConfirmed = stopped >= 0;
    m_session.stopReceiving();
    m_library.VORLAK_Sleep(kSettleMs);
    m_pump.processEvents();

    bool damagedReply = false;
    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
        if (m_library.IO_Open(m_port, kUploadSpeed) <= 0) {
            QString message = m_language.MsgPortError() + QString::number(m_port);
            if (const QString reason = openFailureReason(m_language, m_library);
                !reason.isEmpty()) {
                message += QStringLiteral("\n\n") + reason;
            }
            finish(message + QStringLiteral("\n\n") +
                   stoppedTerminalNote(program.name, stopConfirmed));
            return Outcome::PortError;
        }
        const Reply reply = sendAttempt(program, attempt);
        damagedReply = damagedReply || reply == Reply::Damaged;
        m_library.IO_Close(m_port);
        if (reply == Reply::Confirmed) {
            finish({});
            m_library.VORLAK_Sleep(kSettleMs);
            return Outcome::Sent;
        }
    }
    finish(m_language.MsgCommError() + QStringLiteral("\n\n") +
           unconfirmedMessage(kAttempts, damagedReply) + QLatin1Char(' ') +
           stoppedTerminalNote(program.name, stopConfirmed));
    return Outcome::NoAnswer;
}

UploadProtocol::Reply UploadProtocol::sendAttempt(const Program& program, int attempt)
{
    const BusyPointer busy(m_dialogs);
    m_progress.setUploadStatus(m_language.text(kRowSending) + QLatin1Char('(') +
                               QString::number(attempt) + QLatin1Char(')'));
    m_pump.processEvents();
    drainInput();

    // "S", the header and the image, each followed by their two checksums.
    constexpr qint64 kChecksumBytes = 4;
    m_sent = 0;
    m_total = 1 + program.header.size() + program.image.size() + 2 * kChecksumBytes;
    m_attempt = attempt;
    m_progress.setUploadProgress(0, m_total, attempt);
    resetChecksums();
    sendChar('S');
    sendText(program.header);
    sendChecksums();

    resetChecksums();
    sendText(program.image);
    sendChecksums();

    return judgeReply(waitForReply());
}

void UploadProtocol::drainInput()
{
    for (int drained = 0; drained < kMaxDrainBytes; ++drained) {
        m_pump.processEvents();
        if (m_library.IO_Read(m_port, 1, kDrainWaitMs).isEmpty()) {
            return;
        }
    }
}

QByteArray UploadProtocol::waitForReply()
{
    // The wait ends with the reply's first line: at its line end, or when the terminal falls
    // silent in the middle of it (a line end lost on the way). Nothing is waited for after it,
    // so a refusal or a damaged reply costs no more time than a confirmation.
    QByteArray reply;
    QElapsedTimer elapsed;
    elapsed.start();
    const qint64 overallLimit = static_cast<qint64>(m_timing.replyWaitMs) * kReplyWaitLimits;
    bool inLine = false;
    while (true) {
        const std::int32_t waitMs =
            inLine ? std::min(m_timing.replyWaitMs, kReplyByteGapMs) : m_timing.replyWaitMs;
        const QByteArray byte = m_library.IO_Read(m_port, 1, waitMs).left(1);
        if (byte.isEmpty()) {
            break;
        }
        reply += byte;
        if (isLineEnd(byte[0])) {
            if (inLine) {
                break;
            }
        } else {
            inLine = true;
        }
        // A terminal that keeps talking without ever ending a line is not waited for forever.
        if (reply.size() >= kMaxReplyBytes || elapsed.elapsed() > overallLimit) {
            break;
        }
    }
    return reply;
}

void UploadProtocol::finish(const QString& message)
{
    m_total = 0;
    m_progress.setUploadStatus(QString());
    m_pump.processEvents();
    if (!message.isEmpty()) {
        m_dialogs.showError(message);
    }
    m_session.startReceiving();
}
