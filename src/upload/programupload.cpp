#include "programupload.h"

#include "acquisition/portdetection.h"
#include "common/fileoperations.h"
#include "common/settings.h"
#include "common/settingsstore.h"
#include "common/userdialogs.h"
#include "i18n/uilanguage.h"
#include "journal/journal.h"
#include "programcatalogue.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <utility>

namespace {

QString folderList(const QStringList& folders)
{
    QStringList shown;
    for (const QString& folder : folders) {
        shown.append(QDir::toNativeSeparators(folder));
    }
    return shown.join(QStringLiteral(", "));
}

/// Why the dialog is open and where it looked, and where programs go when it found none.
QString noticeFor(const ProgramSources& sources, bool installed, bool found)
{
    const QString looked = folderList(sources.folders);
    QString notice =
        installed
            ? QCoreApplication::translate("ProgramUpload", "Programs were looked for in %1.")
                  .arg(looked)
            : QCoreApplication::translate("ProgramUpload",
                                          "No terminal program is installed yet: choose one to "
                                          "install. Programs were looked for in %1.")
                  .arg(looked);
    if (!found) {
        notice += QLatin1Char('\n') + QCoreApplication::translate(
                                          "ProgramUpload",
                                          "None was found: put a program's image (.bin) and header "
                                          "(.hea) into %1, or choose one with Browse...")
                                          .arg(QDir::toNativeSeparators(sources.folders.value(0)));
    }
    return notice;
}

} // namespace

ProgramUpload::ProgramUpload(CommLibrary& library, AppState& state, ReadingSession& session,
                             SettingsStore& store, EventPump& pump, UserDialogs& dialogs,
                             UiLanguage& language, std::optional<ProgramSources> sources,
                             QString offlineFolder, UploadTiming timing, Journal* journal)
    : m_library(library)
    , m_state(state)
    , m_session(session)
    , m_store(store)
    , m_pump(pump)
    , m_dialogs(dialogs)
    , m_language(language)
    , m_sources(std::move(sources))
    , m_offlineFolder(std::move(offlineFolder))
    , m_timing(timing)
    , m_journal(journal)
{
}

ProgramSources ProgramUpload::sources() const
{
    return m_sources.value_or(ProgramSources::forThisMachine());
}

QString ProgramUpload::offlineFolder() const
{
    return m_offlineFolder.isEmpty() ? offlineProgramFolder() : m_offlineFolder;
}

bool ProgramUpload::programInstalled() const
{
    return QDir(offlineFolder()).exists();
}

ProgramUpload::Listing ProgramUpload::open()
{
    Listing listing;
    const ProgramSources where = sources();
    {
        const BusyPointer busy(m_dialogs);
        m_language.applyLanguage(
            m_store.readSetting(SettingsKey::Language, SettingsDefault::Language),
            CaptionWindowFlag::Upload);
        QStringList incomplete;
        for (const QString& folder : where.folders) {
            ProgramCatalogue catalogue;
            catalogue.findFiles(folder, QStringLiteral("*.bin"));
            listing.programs.append(catalogue.files());
            if (!catalogue.complete()) {
                incomplete.append(folder);
            }
        }
        if (!incomplete.isEmpty()) {
            listing.status =
                QCoreApplication::translate("ProgramUpload",
                                            "Not every folder below %1 was searched: too many.")
                    .arg(folderList(incomplete));
        }
    }
    if (where.explained) {
        listing.notice = noticeFor(where, programInstalled(), !listing.programs.isEmpty());
        listing.browse = true;
    }
    listing.comPortText = m_store.readSetting(SettingsKey::ComPort, SettingsDefault::ComPort);
    return listing;
}

std::optional<QString> ProgramUpload::browse()
{
    const ProgramSources where = sources();
    QString initialFolder = QDir::homePath();
    for (const QString& folder : where.folders) {
        if (QFileInfo(folder).isDir()) {
            initialFolder = folder;
            break;
        }
    }
    const std::optional<QString> chosen = m_dialogs.openFileName(
        {QCoreApplication::translate("ProgramUpload", "Choose a terminal program"),
         QCoreApplication::translate("ProgramUpload",
                                     "Terminal programs (*.bin *.BIN);;All files (*)"),
         initialFolder});
    if (!chosen || chosen->isEmpty()) {
        return std::nullopt;
    }
    const QString image = QDir::cleanPath(QFileInfo(*chosen).absoluteFilePath());
    if (!image.endsWith(QStringLiteral(".bin"), Qt::CaseInsensitive)) {
        m_dialogs.showWarning(
            QCoreApplication::translate("ProgramUpload",
                                        "%1 is not a terminal program: a program is an image "
                                        "file ending in .bin, with its header file (.hea) beside "
                                        "it.")
                .arg(quotedPath(image)));
        return std::nullopt;
    }
    // The header is found as Install finds it: same name, extension in any letter case.
    const QString header =
        ProgramFiles::withExtension(ProgramFiles::baseOf(image), QStringLiteral("hea"));
    if (!QFileInfo(header).isFile()) {
        m_dialogs.showWarning(
            QCoreApplication::translate("ProgramUpload",
                                        "%1 cannot be installed: its header file %2 is not beside "
                                        "it. A terminal program is two files in one folder, the "
                                        "image (.bin) and its header (.hea).")
                .arg(quotedPath(image), quotedPath(header)));
        return std::nullopt;
    }
    return image;
}

ProgramInstaller::Result ProgramUpload::install(const ProgramInstaller::Choice& choice,
                                                UploadProgress& progress)
{
    UploadProtocol protocol(m_library, m_state, m_session, m_store, m_pump, m_dialogs, m_language,
                            progress, m_timing);
    ProgramInstaller installer(m_state, m_store, m_session, m_dialogs, m_language, offlineFolder());
    const ProgramInstaller::Result result = installer.install(choice, protocol);
    if (m_journal != nullptr && result != ProgramInstaller::Result::NothingSelected) {
        JournalEvent event = JournalEvent::now(
            QStringLiteral("upload"), QString(),
            QDir::toNativeSeparators(choice.selectedEntry) +
                (choice.oldTerminal
                     ? QStringLiteral(" (sent over ") + choice.comPortText + QLatin1Char(')')
                     : QString()),
            result == ProgramInstaller::Result::Installed ? QStringLiteral("ok")
                                                          : QStringLiteral("not installed"));
        // Installed or not either way; a journal that cannot be written has been reported with
        // the readings.
        static_cast<void>(m_journal->addEvent(event));
    }
    return result;
}

QList<PortChoice> ProgramUpload::portChoices() const
{
    constexpr int kFirst = PortDetection::kFirstPort;
    constexpr int kLast = PortDetection::kLastPort;
    if (m_portDevices != nullptr) {
        return m_portDevices->choices(kFirst, kLast);
    }
    QList<PortChoice> plain;
    for (int port = kFirst; port <= kLast; ++port) {
        plain.append({PortDevices::portValue(port), PortDevices::portValue(port)});
    }
    return plain;
}
