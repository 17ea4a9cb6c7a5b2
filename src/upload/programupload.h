#pragma once

#include "acquisition/portdevices.h"
#include "programinstaller.h"
#include "uploadprotocol.h"

#include <QString>
#include <QStringList>

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
    };

    /// `programFolder` is searched for programs and `offlineFolder` receives the installed one;
    /// empty ones stand for the machine's own, found when they are used.
    ProgramUpload(CommLibrary& library, AppState& state, ReadingSession& session,
                  SettingsStore& store, EventPump& pump, UserDialogs& dialogs, UiLanguage& language,
                  QString programFolder, QString offlineFolder, UploadTiming timing = {},
                  Journal* journal = nullptr);

    /// Captions the upload dialog in the stored language and lists the program images below
    /// the program folder, with the busy pointer while the folders are searched.
    [[nodiscard]] Listing open();

    /// Install: copies the chosen program into the offline folder and, for old terminals,
    /// sends it, showing how far the upload got through `progress`. Recorded in the journal,
    /// when there is one.
    ProgramInstaller::Result install(const ProgramInstaller::Choice& choice,
                                     UploadProgress& progress);

    /// Where the port list finds each port's device and adapter; none: the bare port names.
    void setPortDevices(const PortDevices* devices) { m_portDevices = devices; }
    /// The port list of the dialog: Com1 to Com16 with their devices, read afresh at each call.
    [[nodiscard]] QList<PortChoice> portChoices() const;

    /// The folder searched for programs: the running program's folder unless one was given.
    [[nodiscard]] QString programFolder() const;
    /// Where the terminal program is installed: offlineProgramFolder() unless one was given.
    [[nodiscard]] QString offlineFolder() const;

private:
    const PortDevices* m_portDevices = nullptr;
    CommLibrary& m_library;
    AppState& m_state;
    ReadingSession& m_session;
    SettingsStore& m_store;
    EventPump& m_pump;
    UserDialogs& m_dialogs;
    UiLanguage& m_language;
    QString m_programFolder;
    QString m_offlineFolder;
    UploadTiming m_timing;
    Journal* m_journal;
};
