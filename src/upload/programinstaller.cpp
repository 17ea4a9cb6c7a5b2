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

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <optional>
#include <utility>

namespace {

constexpr int kRowSelectProgram = 42;

QString notInstalled(const QString& what, const QString& reason)
{
    return QStringLiteral("The program was not installed: ") + what + QStringLiteral("\n\n") +
           reason + QStringLiteral("\n\nThe offline folder is unchanged.");
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
        m_dialogs.showMessage(m_language.text(kRowSelectProgram));
        return Result::NothingSelected;
    }
    const QString base = ProgramFiles::baseOf(choice.selectedEntry);
    const QString headerPath = ProgramFiles::withExtension(base, QStringLiteral("hea"));
    const ProgramFiles::ReadResult image = ProgramFiles::read(
        choice.selectedEntry, UploadProtocol::kMaxImageBytes, /*allowEmpty=*/false);
    if (!image.ok()) {
        m_dialogs.showMessage(
            notInstalled(choice.selectedEntry + QStringLiteral(" cannot be read."), image.error));
        return Result::NotInstalled;
    }
    const ProgramFiles::ReadResult header =
        ProgramFiles::read(headerPath, UploadProtocol::kMaxImageBytes, /*allowEmpty=*/true);
    if (!header.ok()) {
        m_dialogs.showMessage(
            notInstalled(headerPath + QStringLiteral(" cannot be read."), header.error));
        return Result::NotInstalled;
    }

    if (choice.oldTerminal) {
        // The store tells the user itself when the value cannot be kept.
        static_cast<void>(m_store.writeSetting(SettingsKey::ComPort, choice.comPortText));
    }

    QString failure;
    QString leftover;
    {
        const BusyPointer busy(m_dialogs);
        // The session is closed on the port it was opened on, and reopened on the chosen one.
        m_session.stopReceiving();
        if (const auto port = SettingsConversions::comPortNumber(
                m_store.readSetting(SettingsKey::ComPort, SettingsDefault::ComPort))) {
            m_state.settings.ComPortNumber = *port;
        }
        const QString name = QFileInfo(base).fileName();
        failure = copyIn(image.bytes, name + QStringLiteral(".bin"), header.bytes,
                         name + QStringLiteral(".hea"));
        if (failure.isEmpty()) {
            leftover =
                removeOtherPrograms({name + QStringLiteral(".bin"), name + QStringLiteral(".hea")});
            clearBodyTemplate();
        }
        m_session.startReceiving();
    }
    if (!failure.isEmpty()) {
        m_dialogs.showMessage(failure);
        return Result::NotInstalled;
    }
    if (!leftover.isEmpty()) {
        m_dialogs.showMessage(leftover);
    }
    if (choice.oldTerminal) {
        protocol.sendProgram(base);
    }
    return Result::Installed;
}

QString ProgramInstaller::copyIn(const QByteArray& image, const QString& imageName,
                                 const QByteArray& header, const QString& headerName)
{
    const QDir folder(m_offlineFolder);
    if (!QDir().mkpath(m_offlineFolder)) {
        return notInstalled(QDir::toNativeSeparators(m_offlineFolder) +
                                QStringLiteral(" cannot be created."),
                            QStringLiteral("The folder or one above it cannot be made."));
    }
    const QString imagePath = folder.filePath(imageName);
    const QString headerPath = folder.filePath(headerName);

    // Each file is replaced atomically; should the header fail after the image went in, the
    // image is put back as it was, so the folder never holds half of two programs.
    std::optional<QByteArray> previousImage;
    if (QFile previous(imagePath); previous.exists() && previous.open(QIODevice::ReadOnly)) {
        previousImage = previous.readAll();
    }
    if (const FileWriteResult written = writeFileAtomically(imagePath, image); !written) {
        return notInstalled(imagePath + QStringLiteral(" cannot be written."), written.error);
    }
    if (const FileWriteResult written = writeFileAtomically(headerPath, header); !written) {
        if (previousImage) {
            // Putting the previous image back is best effort: the message below says the install
            // failed either way, and an atomic write leaves the image whole, old or new.
            static_cast<void>(writeFileAtomically(imagePath, *previousImage));
        } else {
            QFile::remove(imagePath);
        }
        return notInstalled(headerPath + QStringLiteral(" cannot be written."), written.error);
    }
    return {};
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
    return QStringLiteral("The program was installed, but these files of an earlier program "
                          "could not be removed from ") +
           QDir::toNativeSeparators(m_offlineFolder) + QStringLiteral(":\n\n") +
           left.join(QLatin1Char('\n'));
}

void ProgramInstaller::clearBodyTemplate()
{
    // The acquisition cycle reads the template from the terminal again: the new program may
    // lay out its records differently. A store that cannot clear it has told the user; the
    // template in memory is cleared all the same.
    static_cast<void>(m_store.writeSetting(SettingsKey::AsciiDataFormat, QString()));
    m_state.settings.BodyTemplate.clear();
}
