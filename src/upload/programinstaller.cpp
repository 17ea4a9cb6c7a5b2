#include "programinstaller.h"

#include "acquisition/readingsession.h"
#include "common/appstate.h"
#include "common/fileoperations.h"
#include "common/settings.h"
#include "common/settingsconversions.h"
#include "common/settingsstore.h"
#include "common/userdialogs.h"
#include "i18n/uilanguage.h"
#include "programcatalogue.h"
#include "uploadprotocol.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <optional>
#include <utility>

namespace {

constexpr int kRowSelectProgram = 42;

QString notInstalled(const QString& what, const QString& reason)
{
    return QCoreApplication::translate(
               "ProgramInstaller",
               "The program was not installed: %1\n\n%2\n\nThe offline folder is unchanged.")
        .arg(what, reason);
}

QString notInOfflineFolder(const QString& what, const QString& reason)
{
    return QCoreApplication::translate("ProgramInstaller",
                                       "The terminal took the program, but it was not put into "
                                       "the offline folder: %1\n\n%2\n\nThe offline folder is "
                                       "unchanged.")
        .arg(what, reason);
}

} // namespace

ProgramInstaller::ProgramInstaller(AppState& state, SettingsStore& store, ReadingSession& session,
                                   UserDialogs& dialogs, const UiLanguage& language,
                                   QString offlineFolder)
    : m_state(state)
    , m_store(store)
    , m_session(session)
    , m_dialogs(dialogs)
    , m_language(language)
    , m_offlineFolder(std::move(offlineFolder))
{
}

ProgramInstaller::Result ProgramInstaller::install(const Choice& choice, UploadProtocol& protocol)
{
    // Nothing is touched, the reading session included, until there is something to install.
    if (choice.selectedEntry.isEmpty()) {
        m_dialogs.showWarning(m_language.text(kRowSelectProgram));
        return Result::NothingSelected;
    }
    const QString base = ProgramFiles::baseOf(choice.selectedEntry);
    const QString headerPath = ProgramFiles::withExtension(base, QStringLiteral("hea"));
    const ProgramFiles::ReadResult image = ProgramFiles::read(
        choice.selectedEntry, UploadProtocol::kMaxImageBytes, /*allowEmpty=*/false);
    if (!image.ok()) {
        m_dialogs.showError(
            notInstalled(QCoreApplication::translate("ProgramInstaller", "%1 cannot be read.")
                             .arg(choice.selectedEntry),
                         image.error));
        return Result::NotInstalled;
    }
    const ProgramFiles::ReadResult header =
        ProgramFiles::read(headerPath, UploadProtocol::kMaxImageBytes, /*allowEmpty=*/true);
    if (!header.ok()) {
        m_dialogs.showError(notInstalled(
            QCoreApplication::translate("ProgramInstaller", "%1 cannot be read.").arg(headerPath),
            header.error));
        return Result::NotInstalled;
    }

    if (choice.oldTerminal) {
        // The store tells the user itself when the value cannot be kept.
        static_cast<void>(m_store.writeSetting(SettingsKey::ComPort, choice.comPortText));
    }

    const QString name = QFileInfo(base).fileName();
    const OfflineFiles files{image.bytes, name + QStringLiteral(".bin"), header.bytes,
                             name + QStringLiteral(".hea")};
    OfflineResult offline;
    {
        const BusyPointer busy(m_dialogs);
        // The session is closed on the port it was opened on, and reopened on the chosen one.
        m_session.stopReceiving();
        if (const auto port = SettingsConversions::comPortNumber(
                m_store.readSetting(SettingsKey::ComPort, SettingsDefault::ComPort))) {
            m_state.settings.ComPortNumber = *port;
        }
        // A program sent over the line goes into the offline folder only once the terminal has
        // taken it: a failed upload leaves the folder, and the template, as they were.
        if (!choice.oldTerminal) {
            offline = putInOfflineFolder(files);
        }
        m_session.startReceiving();
    }
    if (choice.oldTerminal) {
        // The protocol tells the user what went wrong, the state of the terminal included.
        if (protocol.send(
                UploadProtocol::programOf(header.bytes, image.bytes, choice.selectedEntry)) !=
            UploadProtocol::Outcome::Sent) {
            return Result::NotInstalled;
        }
        const BusyPointer busy(m_dialogs);
        offline = putInOfflineFolder(files);
    }
    if (!offline.failure.isEmpty()) {
        m_dialogs.showError(choice.oldTerminal ? notInOfflineFolder(offline.failure, offline.reason)
                                               : notInstalled(offline.failure, offline.reason));
        // The terminal runs the new program even when the folder could not take it.
        return choice.oldTerminal ? Result::Installed : Result::NotInstalled;
    }
    if (!offline.leftover.isEmpty()) {
        m_dialogs.showWarning(offline.leftover);
    }
    return Result::Installed;
}

ProgramInstaller::OfflineResult ProgramInstaller::putInOfflineFolder(const OfflineFiles& files)
{
    OfflineResult result;
    if (const auto failure = copyIn(files)) {
        result.failure = failure->what;
        result.reason = failure->reason;
        return result;
    }
    result.leftover = removeOtherPrograms({files.imageName, files.headerName});
    clearBodyTemplate();
    return result;
}

std::optional<ProgramInstaller::CopyFailure> ProgramInstaller::copyIn(const OfflineFiles& files)
{
    const QDir folder(m_offlineFolder);
    if (!QDir().mkpath(m_offlineFolder)) {
        return CopyFailure{QCoreApplication::translate("ProgramInstaller", "%1 cannot be created.")
                               .arg(QDir::toNativeSeparators(m_offlineFolder)),
                           QCoreApplication::translate(
                               "ProgramInstaller", "The folder or one above it cannot be made.")};
    }
    const QString imagePath = folder.filePath(files.imageName);
    const QString headerPath = folder.filePath(files.headerName);

    // Each file is replaced atomically; should the header fail after the image went in, the
    // image is put back as it was, so the folder never holds half of two programs.
    std::optional<QByteArray> previousImage;
    if (QFile previous(imagePath); previous.exists() && previous.open(QIODevice::ReadOnly)) {
        previousImage = previous.readAll();
    }
    if (const FileWriteResult written = writeFileAtomically(imagePath, files.image); !written) {
        return CopyFailure{
            QCoreApplication::translate("ProgramInstaller", "%1 cannot be written.").arg(imagePath),
            written.error};
    }
    if (const FileWriteResult written = writeFileAtomically(headerPath, files.header); !written) {
        if (previousImage) {
            // Putting the previous image back is best effort: the message below says the install
            // failed either way, and an atomic write leaves the image whole, old or new.
            static_cast<void>(writeFileAtomically(imagePath, *previousImage));
        } else {
            QFile::remove(imagePath);
        }
        return CopyFailure{QCoreApplication::translate("ProgramInstaller", "%1 cannot be written.")
                               .arg(headerPath),
                           written.error};
    }
    return std::nullopt;
}

QString ProgramInstaller::removeOtherPrograms(const QStringList& keep)
{
    QStringList left;
    const QFileInfoList entries =
        QDir(m_offlineFolder)
            .entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::Unsorted);
    for (const QFileInfo& entry : entries) {
        if (keep.contains(entry.fileName())) {
            continue;
        }
        QFile file(entry.filePath());
        if (!file.remove()) {
            left.append(entry.fileName() + QStringLiteral(": ") + file.errorString());
        }
    }
    if (left.isEmpty()) {
        return {};
    }
    return QCoreApplication::translate("ProgramInstaller",
                                       "The program was installed, but these files of an earlier "
                                       "program could not be removed from %1:\n\n%2")
        .arg(QDir::toNativeSeparators(m_offlineFolder), left.join(QLatin1Char('\n')));
}

void ProgramInstaller::clearBodyTemplate()
{
    // The acquisition cycle reads the template from the terminal again: the new program may
    // lay out its records differently. A store that cannot clear it has told the user; the
    // template in memory is cleared all the same.
    static_cast<void>(m_store.writeSetting(SettingsKey::AsciiDataFormat, QString()));
    m_state.settings.BodyTemplate.clear();
}
