#pragma once

#include "acquisition/portdevices.h"
#include "programcatalogue.h"
#include "programinstaller.h"
#include "uploadprotocol.h"

#include <QString>
#include <QStringList>
#include <optional>

class CommLibrary;
class EventPump;
class Journal;
class ReadingSession;
class SettingsStore;
class UiLanguage;
class UploadProgress;
class UserDialogs;
struct AppState;

/// The logic of the upload dialog: what it lists when it opens, and Install.
class ProgramUpload
{
public:
    /// What the dialog shows when it opens.
    struct Listing
    {
        QStringList programs; ///< the program images found, in the order found
        QString status;       ///< status panel 1: empty, or why the list may be incomplete
        QString comPortText;  ///< the stored port, e.g. "Com1"
        /// Above the list, with explained sources: why the dialog is open and where it looked;
        /// with no program found, where to put programs. Empty otherwise.
        QString notice;
        bool browse = false; ///< Browse... is offered
    };

    /// `sources` are searched for programs and `offlineFolder` receives the installed one; none
    /// or an empty folder stands for the machine's own, found when it is used.
    ProgramUpload(CommLibrary& library, AppState& state, ReadingSession& session,
                  SettingsStore& store, EventPump& pump, UserDialogs& dialogs, UiLanguage& language,
                  std::optional<ProgramSources> sources, QString offlineFolder,
                  UploadTiming timing = {}, Journal* journal = nullptr);

    /// Captions the upload dialog in the stored language and lists the program images below
    /// the source folders, with the busy pointer while the folders are searched.
    [[nodiscard]] Listing open();

    /// Browse...: the program image the user chose in a file dialog, to be added to the list;
    /// nothing when the dialog was cancelled, or when the file is no program image or has no
    /// header beside it (the user is told which).
    [[nodiscard]] std::optional<QString> browse();

    /// Install: copies the chosen program into the offline folder and, for old terminals,
    /// sends it, showing how far the upload got through `progress`. Recorded in the journal,
    /// when there is one.
    ProgramInstaller::Result install(const ProgramInstaller::Choice& choice,
                                     UploadProgress& progress);

    /// Where the port list finds each port's device and adapter; none: the bare port names.
    void setPortDevices(const PortDevices* devices) { m_portDevices = devices; }
    /// The port list of the dialog: Com1 to Com16 with their devices, read afresh at each call.
    [[nodiscard]] QList<PortChoice> portChoices() const;

    /// Where programs are looked for: ProgramSources::forThisMachine() unless given.
    [[nodiscard]] ProgramSources sources() const;
    /// Where the terminal program is installed: offlineProgramFolder() unless one was given.
    [[nodiscard]] QString offlineFolder() const;
    /// A terminal program has been installed: the offline folder exists.
    [[nodiscard]] bool programInstalled() const;

private:
    const PortDevices* m_portDevices = nullptr;
    CommLibrary& m_library;
    AppState& m_state;
    ReadingSession& m_session;
    SettingsStore& m_store;
    EventPump& m_pump;
    UserDialogs& m_dialogs;
    UiLanguage& m_language;
    std::optional<ProgramSources> m_sources;
    QString m_offlineFolder;
    UploadTiming m_timing;
    Journal* m_journal;
};
