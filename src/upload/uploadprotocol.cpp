#include "uploadprotocol.h"

#include "acquisition/porterror.h"
#include "acquisition/readingsession.h"
#include "common/appstate.h"
#include "common/eventpump.h"
#include "common/settings.h"
#include "common/settingsconversions.h"
#include "common/settingsstore.h"
#include "common/userdialogs.h"
#include "i18n/uilanguage.h"
#include "link/commlibrary.h"
#include "programcatalogue.h"
#include "uploadhost.h"

#include <QElapsedTimer>

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
    return QStringLiteral("Error opening file :") + path + QStringLiteral("\n\n") + reason;
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
}

void UploadProtocol::sendText(const QByteArray& text)
{
    for (const char byte : text) {
        addToChecksums(static_cast<unsigned char>(byte));
    }
    m_library.IO_Write(m_port, text);
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
        m_dialogs.showMessage(fileErrorMessage(headerPath, header.error));
        return std::nullopt;
    }
    const QString imagePath = ProgramFiles::withExtension(Filename, QStringLiteral("bin"));
    const ProgramFiles::ReadResult image =
        ProgramFiles::read(imagePath, kMaxImageBytes, /*allowEmpty=*/false);
    if (!image.ok()) {
        m_dialogs.showMessage(fileErrorMessage(imagePath, image.error));
        return std::nullopt;
    }
    // A short header is filled with spaces, the filler the terminal takes for "no header".
    return Program{header.bytes.left(kHeaderLength).leftJustified(kHeaderLength, ' '), image.bytes};
}

UploadProtocol::Outcome UploadProtocol::sendProgram(const QString& Filename)
{
    // Everything that can be checked without the terminal is checked before its program is
    // stopped: a missing or empty file must not leave it without one.
    const std::optional<Program> program = readProgram(Filename);
    if (!program) {
        return Outcome::FileError;
    }

    m_port = SettingsConversions::comPortNumber(
                 m_store.readSetting(SettingsKey::ComPort, SettingsDefault::ComPort))
                 .value_or(0);
    if (!m_state.TerminalOnCradle) {
        m_dialogs.showMessage(m_language.MsgPlaceTerminal());
    }
    if (m_library.I_KillProgram(m_state.TerminalId) == CommLibrary::kCommError) {
        m_dialogs.showMessage(m_language.MsgCommError());
    }
    m_session.stopReceiving();
    m_library.VORLAK_Sleep(kSettleMs);
    m_pump.processEvents();

    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
        if (m_library.IO_Open(m_port, kUploadSpeed) <= 0) {
            QString message = m_language.MsgPortError() + QString::number(m_port);
            if (const QString reason = openFailureReason(m_language, m_library);
                !reason.isEmpty()) {
                message += QStringLiteral("\n\n") + reason;
            }
            finish(message);
            return Outcome::PortError;
        }
        const bool confirmed = sendAttempt(*program, attempt);
        m_library.IO_Close(m_port);
        if (confirmed) {
            finish({});
            m_library.VORLAK_Sleep(kSettleMs);
            return Outcome::Sent;
        }
    }
    finish(m_language.MsgCommError());
    return Outcome::NoAnswer;
}

bool UploadProtocol::sendAttempt(const Program& program, int attempt)
{
    const BusyPointer busy(m_dialogs);
    m_progress.setUploadStatus(m_language.text(kRowSending) + QLatin1Char('(') +
                               QString::number(attempt) + QLatin1Char(')'));
    m_pump.processEvents();
    drainInput();

    resetChecksums();
    sendChar('S');
    sendText(program.header);
    sendChecksums();

    resetChecksums();
    sendText(program.image);
    sendChecksums();

    return waitForReply().contains("OK");
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
    // The byte just read joins the reply only at the next turn, so "OK" followed by any byte
    // ends the wait at once, while "OK" alone ends it when the next read times out.
    QByteArray reply;
    QByteArray last;
    QElapsedTimer elapsed;
    elapsed.start();
    const qint64 overallLimit = static_cast<qint64>(m_timing.replyWaitMs) * kReplyWaitLimits;
    while (true) {
        reply += last;
        last = m_library.IO_Read(m_port, 1, m_timing.replyWaitMs).left(1);
        if (last.size() != 1 || reply.contains("OK")) {
            break;
        }
        // A terminal that keeps talking without ever confirming is not waited for forever.
        if (reply.size() >= kMaxReplyBytes || elapsed.elapsed() > overallLimit) {
            break;
        }
    }
    return reply;
}

void UploadProtocol::finish(const QString& message)
{
    m_progress.setUploadStatus(QString());
    m_pump.processEvents();
    if (!message.isEmpty()) {
        m_dialogs.showMessage(message);
    }
    m_session.startReceiving();
}
