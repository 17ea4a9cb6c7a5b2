#include "programupload.h"

#include "common/settings.h"
#include "common/settingsstore.h"
#include "common/userdialogs.h"
#include "i18n/uilanguage.h"
#include "programcatalogue.h"

#include <utility>

ProgramUpload::ProgramUpload(CommLibrary& library, AppState& state, ReadingSession& session,
                             SettingsStore& store, EventPump& pump, UserDialogs& dialogs,
                             UiLanguage& language, QString programFolder, QString offlineFolder,
                             UploadTiming timing)
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
    , m_installer(state, store, session, dialogs, language, m_offlineFolder)
{
}

ProgramUpload::Listing ProgramUpload::open()
{
    Listing listing;
    {
        const BusyPointer busy(m_dialogs);
        m_language.applyLanguage(
            m_store.read(QString::fromUtf16(SettingsKey::Language), QStringLiteral("Portugues")),
            CaptionWindowFlag::Upload);
        ProgramCatalogue catalogue;
        catalogue.findFiles(m_programFolder, QStringLiteral("*.bin"));
        listing.programs = catalogue.files();
        if (!catalogue.complete()) {
            listing.status = QStringLiteral("Not every folder below %1 was searched: too many.")
                                 .arg(m_programFolder);
        }
    }
    listing.comPortText =
        m_store.read(QString::fromUtf16(SettingsKey::ComPort), QStringLiteral("Com1"));
    return listing;
}

ProgramInstaller::Result ProgramUpload::install(const ProgramInstaller::Choice& choice,
                                                UploadProgress& progress)
{
    UploadProtocol protocol(m_library, m_state, m_session, m_store, m_pump, m_dialogs, m_language,
                            progress, m_timing);
    return m_installer.install(choice, protocol);
}
