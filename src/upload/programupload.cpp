#include "programupload.h"

#include "acquisition/portdetection.h"
#include "common/settings.h"
#include "common/settingsstore.h"
#include "common/userdialogs.h"
#include "i18n/uilanguage.h"
#include "journal/journal.h"
#include "programcatalogue.h"

#include <QCoreApplication>
#include <QDir>
#include <utility>

ProgramUpload::ProgramUpload(CommLibrary& library, AppState& state, ReadingSession& session,
                             SettingsStore& store, EventPump& pump, UserDialogs& dialogs,
                             UiLanguage& language, QString programFolder, QString offlineFolder,
                             UploadTiming timing, Journal* journal)
    : m_library(library)
    , m_state(state)
    , m_session(session)
    , m_store(store)
    , m_pump(pump)
    , m_dialogs(dialogs)
    , m_language(language)
    , m_programFolder(std::move(programFolder))
    , m_offlineFolder(std::move(offlineFolder))
    , m_timing(timing)
    , m_journal(journal)
{
}

QString ProgramUpload::programFolder() const
{
    return m_programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : m_programFolder;
}

QString ProgramUpload::offlineFolder() const
{
    return m_offlineFolder.isEmpty() ? offlineProgramFolder() : m_offlineFolder;
}

ProgramUpload::Listing ProgramUpload::open()
{
    Listing listing;
    {
        const BusyPointer busy(m_dialogs);
        m_language.applyLanguage(
            m_store.readSetting(SettingsKey::Language, SettingsDefault::Language),
            CaptionWindowFlag::Upload);
        ProgramCatalogue catalogue;
        catalogue.findFiles(programFolder(), QStringLiteral("*.bin"));
        listing.programs = catalogue.files();
        if (!catalogue.complete()) {
            listing.status =
                QCoreApplication::translate("ProgramUpload",
                                            "Not every folder below %1 was searched: too many.")
                    .arg(programFolder());
        }
    }
    listing.comPortText = m_store.readSetting(SettingsKey::ComPort, SettingsDefault::ComPort);
    return listing;
}

ProgramInstaller::Result ProgramUpload::install(const ProgramInstaller::Choice& choice,
                                                UploadProgress& progress)
{
    UploadProtocol protocol(m_library, m_state, m_session, m_store, m_pump, m_dialogs, m_language,
                            progress, m_timing);
    ProgramInstaller installer(m_state, m_store, m_session, m_dialogs, m_language, offlineFolder());
    const ProgramInstaller::Result result = installer.install(choice, protocol);
    if (m_journal != nullptr && result != ProgramInstaller::Result::NothingSelected) {
        JournalEvent event{0,
                           QDateTime::currentDateTimeUtc(),
                           QStringLiteral("upload"),
                           QString(),
                           QDir::toNativeSeparators(choice.selectedEntry) +
                               (choice.oldTerminal ? QStringLiteral(" (sent over ") +
                                                         choice.comPortText + QLatin1Char(')')
                                                   : QString()),
                           result == ProgramInstaller::Result::Installed
                               ? QStringLiteral("ok")
                               : QStringLiteral("not installed")};
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
