#include "outputfilepolicy.h"

#include "common/documentview.h"
#include "common/fileoperations.h"
#include "common/linebreaks.h"
#include "common/mainwindowcontrols.h"
#include "common/settings.h"
#include "common/settingsconversions.h"
#include "common/settingsstore.h"
#include "common/stagedfile.h"
#include "common/textcodec.h"
#include "journal/journal.h"

#include <QByteArrayView>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUtf8StringView>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <initializer_list>

#ifdef Q_OS_UNIX
#include <unistd.h>
#elif defined(Q_OS_WIN)
#include <io.h>
#endif

namespace {

constexpr int kStatusPanelFile = 1;

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// After a failed write, a sharper reason than the platform's "No such file or directory" when
// the folder is at fault: which folder is missing, or which part of the path is a file.
QString folderProblem(const QString& filePath)
{
    const QString folder = QFileInfo(filePath).absolutePath();
    QString existing = folder;
    for (;;) {
        const QFileInfo info(existing);
        if (info.exists()) {
            if (!info.isDir()) {
                return QCoreApplication::translate("OutputFilePolicy", "%1 is a file, not a folder")
                    .arg(quotedPath(existing));
            }
            break;
        }
        const QString parent = info.absolutePath();
        if (parent == existing) {
            break;
        }
        existing = parent;
    }
    if (existing != folder) {
        return QCoreApplication::translate("OutputFilePolicy", "the folder %1 does not exist")
            .arg(quotedPath(folder));
    }
    return {};
}

QString writeFailure(const QString& path, const QString& platformReason)
{
    const QString folder = folderProblem(path);
    return folder.isEmpty() ? platformReason : folder;
}

// Only regular files are replaced or appended to: renaming onto a device node, or reading a
// FIFO that nobody writes to, would destroy something or wait for ever.
QString notARegularFile(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists() || info.isFile()) {
        return {};
    }
    return info.isDir() ? QCoreApplication::translate("OutputFilePolicy", "it is a folder")
                        : QCoreApplication::translate("OutputFilePolicy", "it is not a file");
}

/// The view's text as the bytes of a file: UTF-8 with the platform's line ending.
QByteArray fileBytes(const QString& viewText)
{
    return withPlatformLineEndings(viewText).toUtf8();
}

// Writes the chunks one after another to a temporary file beside `path`, then renames it onto
// `path`. Empty reason when done.
QString replaceFile(const QString& path, std::initializer_list<QByteArrayView> chunks)
{
    const FileWriteResult written = writeFileAtomically(path, chunks);
    if (written) {
        return {};
    }
    // Only a temporary file that could not be made points at the folder.
    return written.notCreated ? writeFailure(path, written.error) : written.error;
}

/// Writes the complete content to a new temporary file beside `nearPath`, with the permissions
/// of any new file, flushed to the disk. Empty reason when done.
QString stage(StagedFile& staged, const QString& nearPath, const QByteArray& content)
{
    if (const QString reason = staged.create(nearPath); !reason.isEmpty()) {
        return writeFailure(nearPath, reason);
    }
    if (QString reason = staged.write(content); !reason.isEmpty()) {
        return reason;
    }
    return staged.finish();
}

/// Pushes what was written to the file down to the disk. Empty reason when done.
QString syncToDisk(QFile& file)
{
#ifdef Q_OS_UNIX
    if (::fsync(file.handle()) != 0) {
        return systemError(errno);
    }
#elif defined(Q_OS_WIN)
    if (::_commit(file.handle()) != 0) {
        return systemError(errno);
    }
#endif
    return {};
}

/// Cuts the open file back to `length` bytes, on the disk. Empty reason when done.
QString cutBack(QFile& file, qint64 length)
{
    if (!file.resize(length)) {
        return file.errorString();
    }
    return syncToDisk(file);
}

/// The bytes a UTF-8 sequence starting with this byte has; 1 for a byte that starts none
/// (which makes an incomplete sequence fail the check where it stands).
int utf8SequenceLength(unsigned char lead)
{
    if (lead >= 0xF0 && lead <= 0xF7) {
        return 4;
    }
    if (lead >= 0xE0) {
        return lead <= 0xEF ? 3 : 1;
    }
    return lead >= 0xC0 ? 2 : 1;
}

/// Whether the first `length` bytes of the open file are valid UTF-8 (the same test as for the
/// whole file at once), read a piece at a time so that a large file is never held whole. A
/// sequence cut by the end of a piece is carried over to the next one. Empty reason when read.
QString checkUtf8(QFile& file, qint64 length, bool& valid)
{
    constexpr qint64 kPiece = 64 * 1024;
    valid = true;
    if (!file.seek(0)) {
        return file.errorString();
    }
    QByteArray buffer;
    qint64 carried = 0;
    for (qint64 done = 0; done < length;) {
        const qint64 wanted = std::min(kPiece, length - done);
        buffer.resize(carried + wanted);
        const qint64 got = file.read(buffer.data() + carried, wanted);
        if (got <= 0) {
            return got < 0
                       ? file.errorString()
                       : QCoreApplication::translate("OutputFilePolicy", "the file became shorter");
        }
        done += got;
        qsizetype end = carried + got;
        // The last sequence may go on in the next piece: find where it starts.
        carried = 0;
        if (done < length) {
            for (qsizetype back = 1; back <= 4 && back <= end; ++back) {
                const auto byte = static_cast<unsigned char>(buffer[end - back]);
                if ((byte & 0xC0) != 0x80) {
                    if (utf8SequenceLength(byte) > back) {
                        carried = back;
                    }
                    break;
                }
            }
        }
        if (!QUtf8StringView(buffer.constData(), end - carried).isValidUtf8()) {
            valid = false;
            return {};
        }
        std::memmove(buffer.data(), buffer.constData() + end - carried, std::size_t(carried));
    }
    return {};
}

bool isAscii(const QByteArray& bytes)
{
    return std::all_of(bytes.cbegin(), bytes.cend(),
                       [](char byte) { return static_cast<unsigned char>(byte) < 0x80; });
}

bool isFourDigits(const QString& counter)
{
    if (counter.size() != 4) {
        return false;
    }
    for (const QChar ch : counter) {
        if (ch < QLatin1Char('0') || ch > QLatin1Char('9')) {
            return false;
        }
    }
    return true;
}

bool isDigits(const QString& counter)
{
    return !counter.isEmpty() && std::all_of(counter.cbegin(), counter.cend(), [](QChar ch) {
        return ch >= QLatin1Char('0') && ch <= QLatin1Char('9');
    });
}

/// A setting's value for a message: in quotes, control characters shown as '?', a long value cut.
QString shownValue(const QString& value)
{
    constexpr qsizetype kShown = 40;
    QString shown = value.left(kShown);
    for (QChar& ch : shown) {
        if (ch.category() == QChar::Other_Control) {
            ch = QLatin1Char('?');
        }
    }
    if (value.size() > kShown) {
        shown += QStringLiteral("...");
    }
    return QLatin1Char('"') + shown + QLatin1Char('"');
}

/// Whether `name` is in the folder of `myFileName`: a numbered name never leads anywhere else,
/// whatever the counter holds.
bool inFolderOf(const QString& name, const QString& myFileName)
{
    return QDir::cleanPath(QFileInfo(name).absolutePath()) ==
           QDir::cleanPath(QFileInfo(myFileName).absolutePath());
}

bool fail(FileDeliveryResult& result, const QString& path, const QString& reason)
{
    result.ok = false;
    result.failedPath = path;
    result.reason = reason;
    return false;
}

} // namespace

QString IncrementedFileName(const QString& myFileName, const QString& counter)
{
    const qsizetype nameStart = std::max(myFileName.lastIndexOf(QLatin1Char('/')),
                                         myFileName.lastIndexOf(QLatin1Char('\\'))) +
                                1;
    const qsizetype dot = myFileName.indexOf(QLatin1Char('.'), nameStart);
    if (dot < 0) {
        return myFileName + counter;
    }
    return myFileName.left(dot) + counter + myFileName.mid(dot);
}

QString advanceCounter(const QString& counter)
{
    const double number = SettingsConversions::leadingNumber(counter);
    // Only the last four digits are kept, so the remainder is all that matters of a huge value.
    long long value = 0;
    if (std::isfinite(number) && number > 0) {
        value = static_cast<long long>(std::fmod(std::floor(number), 10000.0));
    }
    return QStringLiteral("%1").arg((value + 1) % 10000, 4, 10, QLatin1Char('0'));
}

QString FileDeliveryResult::message() const
{
    if (ok) {
        return {};
    }
    if (failedPath.isEmpty()) {
        return QCoreApplication::translate("OutputFilePolicy",
                                           "The data read could not be saved: %1.")
            .arg(reason);
    }
    return QCoreApplication::translate("OutputFilePolicy",
                                       "The data read could not be saved to %1: %2.")
        .arg(quotedPath(failedPath), reason);
}

OutputFilePolicy::OutputFilePolicy(SettingsStore& store, DocumentView& view,
                                   MainWindowControls& window, Journal* journal)
    : m_store(store)
    , m_view(view)
    , m_window(window)
    , m_journal(journal)
{
}

FileDeliveryResult OutputFilePolicy::deliver(Settings& settings)
{
    FileDeliveryResult result;
    result.ok = true;
    if (!settings.IncrNumber && !settings.AppendFile && !settings.NewFile) {
        return result;
    }
    if (settings.MyFileName.trimmed().isEmpty()) {
        fail(result, {},
             QCoreApplication::translate("OutputFilePolicy", "no output file name is set"));
        return result;
    }
    // The system would take the name only up to the NUL and write to a file of that shorter name.
    if (settings.MyFileName.contains(QChar(u'\0'))) {
        fail(result, {},
             QCoreApplication::translate(
                 "OutputFilePolicy", "the output file name in the setting MyFileName holds a NUL "
                                     "character, which no file name can hold; correct it in the "
                                     "configuration"));
        return result;
    }
    if (settings.IncrNumber && !writeNumbered(settings, result)) {
        return result;
    }
    if (settings.AppendFile && !appendTo(settings.MyFileName, result)) {
        return result;
    }
    if (settings.NewFile && !overwrite(settings.MyFileName, result)) {
        return result;
    }
    return result;
}

bool OutputFilePolicy::writeNumbered(Settings& settings, FileDeliveryResult& result)
{
    // The counter belongs to one output file name; for any other name it starts again.
    QString counter = settings.IncrNumberText;
    const QString counterFile =
        m_store.readSetting(SettingsKey::IncrNumberTextFile, SettingsDefault::IncrNumberTextFile);
    // An empty counter is 0, as advanceCounter and the default take it.
    if (counterFile.trimmed() != settings.MyFileName.trimmed() || counter.isEmpty()) {
        counter = QStringLiteral("0000");
    }
    // The counter becomes part of the file name: anything but digits would give a stray name, or
    // one in another folder.
    if (!isDigits(counter)) {
        return fail(result, settings.MyFileName,
                    QCoreApplication::translate(
                        "OutputFilePolicy",
                        "the counter in the setting IncrNumberText is %1, not a number "
                        "of digits 0 to 9, so no numbered file was written; correct it "
                        "in the settings file (for example to 0000)")
                        .arg(shownValue(counter)));
    }

    const QString firstName = IncrementedFileName(settings.MyFileName, counter);
    if (!inFolderOf(firstName, settings.MyFileName)) {
        return fail(
            result, firstName,
            QCoreApplication::translate(
                "OutputFilePolicy", "the numbered name is not in the folder of the output file"));
    }
    StagedFile staged;
    const QString writeError = stage(staged, firstName, fileBytes(m_view.text()));
    if (!writeError.isEmpty()) {
        return fail(result, firstName, writeError);
    }

    // The counter wraps after 9999 and restarts for another file name, so its name may already
    // hold an earlier reading: move on to the next free value, at most once round.
    QString firstTried;
    for (;;) {
        const QString name = IncrementedFileName(settings.MyFileName, counter);
        if (!inFolderOf(name, settings.MyFileName)) {
            return fail(result, name,
                        QCoreApplication::translate(
                            "OutputFilePolicy",
                            "the numbered name is not in the folder of the output file"));
        }
        const RenameResult placed = staged.placeWithoutReplacing(name);
        if (placed) {
            break;
        }
        if (placed.outcome == RenameOutcome::Failed) {
            return fail(result, name, writeFailure(name, placed.error));
        }
        if (firstTried.isEmpty() && isFourDigits(counter)) {
            firstTried = counter;
        }
        counter = advanceCounter(counter);
        if (counter == firstTried) {
            return fail(
                result, firstName,
                QCoreApplication::translate("OutputFilePolicy",
                                            "all 10,000 numbered names of this file exist already; "
                                            "move or delete some of them"));
        }
    }

    settings.IncrNumberText = advanceCounter(counter);
    // A store that cannot keep the counter has told the user so; the next reading then finds
    // the name taken and moves on, so nothing is replaced either way.
    static_cast<void>(m_store.writeSetting(SettingsKey::IncrNumberText, settings.IncrNumberText));
    static_cast<void>(m_store.writeSetting(SettingsKey::IncrNumberTextFile, settings.MyFileName));
    noteWritten(IncrementedFileName(settings.MyFileName, counter), result);
    return true;
}

QString OutputFilePolicy::recoverInterruptedAppends()
{
    return settlePendingAppends({});
}

QString OutputFilePolicy::removeLeftoverFiles(const QString& myFileName)
{
    if (myFileName.trimmed().isEmpty() || myFileName.contains(QChar(u'\0'))) {
        return {};
    }
    return removeStaleStagedFiles(QFileInfo(myFileName).absolutePath()).join(QStringLiteral("; "));
}

QString OutputFilePolicy::settlePendingAppends(const QString& path)
{
    if (m_journal == nullptr) {
        return {};
    }
    QStringList problems;
    for (const JournalAppend& append : m_journal->pendingAppends()) {
        if (!path.isEmpty() && append.path != path) {
            continue;
        }
        // A file that is missing, or not longer than it was, holds nothing of the append.
        const QFileInfo info(append.path);
        if (info.isFile() && info.size() > append.length) {
            QFile file(append.path);
            QString reason;
            if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly |
                           QIODevice::Unbuffered)) {
                reason = file.errorString();
            } else {
                reason = cutBack(file, append.length);
            }
            if (!reason.isEmpty()) {
                problems.append(
                    QCoreApplication::translate("OutputFilePolicy",
                                                "the unfinished end of %1 could not be cut off: %2")
                        .arg(quotedPath(append.path), reason));
                continue;
            }
        }
        if (!m_journal->endAppend(append.id)) {
            problems.append(m_journal->problem());
        }
    }
    return problems.join(QStringLiteral("; "));
}

bool OutputFilePolicy::appendTo(const QString& path, FileDeliveryResult& result)
{
    if (const QString problem = notARegularFile(path); !problem.isEmpty()) {
        return fail(result, path, problem);
    }
    // An append still pending here would be cut off later, taking this one with it: settle it
    // first, and append only when that worked.
    const QString journalPath = QFileInfo(path).absoluteFilePath();
    if (const QString problem = settlePendingAppends(journalPath); !problem.isEmpty()) {
        return fail(result, path, problem);
    }

    // Opening for writing makes a missing file; one that cannot be read and written fails here
    // and is left alone.
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
        return fail(result, path, writeFailure(path, file.errorString()));
    }
    const qint64 oldLength = file.size();

    // The reading follows in the old file's encoding where it can, so the file stays one text.
    // An ASCII reading is the same bytes in either encoding: the old file need not be read.
    const QString newLines = withPlatformLineEndings(m_view.text());
    QByteArray newBytes = newLines.toUtf8();
    if (!isAscii(newBytes)) {
        bool oldIsUtf8 = true;
        if (const QString reason = checkUtf8(file, oldLength, oldIsUtf8); !reason.isEmpty()) {
            return fail(result, path, reason);
        }
        if (!oldIsUtf8) {
            bool lossy = false;
            QByteArray windows1252 = TextCodec::toWindows1252(newLines, &lossy);
            if (!lossy) {
                newBytes = std::move(windows1252);
            }
        }
    }

    std::optional<qint64> appendId;
    if (m_journal != nullptr) {
        appendId = m_journal->beginAppend(journalPath, oldLength);
        if (!appendId) {
            return fail(
                result, path,
                QCoreApplication::translate(
                    "OutputFilePolicy", "the append could not be recorded in the journal first: %1")
                    .arg(m_journal->problem()));
        }
    }
    QString reason;
    if (!file.seek(oldLength) || file.write(newBytes) != newBytes.size()) {
        reason = file.errorString();
    } else {
        reason = syncToDisk(file);
    }
    if (reason.isEmpty() && appendId && !m_journal->endAppend(*appendId)) {
        // Left pending, the reading would be cut off later even though the terminal may have
        // been cleared: it is taken back now and the delivery fails, so it stays on the terminal.
        reason =
            QCoreApplication::translate("OutputFilePolicy",
                                        "the journal could not record that the append was done: %1")
                .arg(m_journal->problem());
        // Still pending, but no longer than recorded: the next settling just marks it done.
        static_cast<void>(cutBack(file, oldLength));
        return fail(result, path, reason);
    }
    if (!reason.isEmpty()) {
        // A part of the reading may be in the file: cut it off. When even that fails, the
        // journal still has the append pending and it is cut off before the next append.
        if (cutBack(file, oldLength).isEmpty() && appendId) {
            static_cast<void>(m_journal->endAppend(*appendId));
        }
        return fail(result, path, reason);
    }
    // The window shows the whole file afterwards, as it always has: the old bytes decoded (the
    // disk keeps them untouched) and the reading. A file too large to hold as text keeps only
    // the reading in the window; the file itself is appended all the same.
    if (oldLength <= kMaxViewBytes && file.seek(0)) {
        QString combined = TextCodec::decodeFileText(file.read(oldLength));
        combined.append(m_view.text());
        m_view.setText(combined);
    }
    file.close();
    noteWritten(path, result);
    return true;
}

bool OutputFilePolicy::overwrite(const QString& path, FileDeliveryResult& result)
{
    if (const QString problem = notARegularFile(path); !problem.isEmpty()) {
        return fail(result, path, problem);
    }
    if (const QString reason = replaceFile(path, {QByteArrayView(fileBytes(m_view.text()))});
        !reason.isEmpty()) {
        return fail(result, path, reason);
    }
    noteWritten(path, result);
    return true;
}

void OutputFilePolicy::noteWritten(const QString& path, FileDeliveryResult& result)
{
    result.written.append(path);
    m_window.setStatusText(kStatusPanelFile, path);
}
