#pragma once

#include "acquisition/acquisitioncycle.h"
#include "acquisition/modemanswer.h"
#include "acquisition/portdetection.h"
#include "acquisition/portdevices.h"
#include "acquisition/readingsession.h"
#include "acquisition/templateimport.h"
#include "common/appstate.h"
#include "config/configloader.h"
#include "config/generalconfiguration.h"
#include "document/filedialogstate.h"
#include "documentcommands.h"
#include "i18n/uilanguage.h"
#include "install/libraryinstaller.h"
#include "lists/listsender.h"
#include "lists/terminalclearing.h"
#include "output/externalprogramrunner.h"
#include "output/filedelivery.h"
#include "output/keyboarddelivery.h"
#include "output/outputfilepolicy.h"
#include "output/readingdelivery.h"
#include "output/recordretrieval.h"
#include "output/safeterminaleraser.h"
#include "upload/programupload.h"
#include "upload/uploadprotocol.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>

class CommLibrary;
class EventPump;
class KeystrokeSink;
class LocaleSource;
class MainWindowControls;
class RichDocumentView;
class SettingsStore;
class TextPrinter;
class UserDialogs;

/// The outside world the program works with: the real one in the running program, recording or
/// real parts in tests. The folders and timings are left empty in the running program, which
/// then uses the machine's own.
struct ProgramPlatform
{
    SettingsStore& store;
    UserDialogs& dialogs;
    CommLibrary& library;
    EventPump& pump;
    KeystrokeSink& keys;
    const LocaleSource& locale;
    /// Where terminal programs are looked for; none: ProgramSources::forThisMachine().
    std::optional<ProgramSources> programSources = {};
    /// Where Install puts a terminal program; empty: offlineProgramFolder().
    QString offlineFolder = {};
    UploadTiming uploadTiming = {};
    /// Where the communication library is installed from and to; none: the machine's own.
    std::optional<InstallLocations> installLocations = {};
    /// The record of readings and terminal changes; none: one held in memory.
    Journal* journal = nullptr;
    /// Where the main window's size and place last between runs; none: not kept.
    SettingsStore* windowStore = nullptr;
    /// Where port numbers are turned into devices and adapter names; none: the machine's own.
    std::optional<PortDeviceRoots> portRoots = {};
};

/// The main window's parts the logic works with.
struct MainWindowParts
{
    MainWindowControls& controls;
    RichDocumentView& view;
    TextPrinter& printer;
};

/// The composition root: builds and owns every logic object of the program, wired together
/// once (the program-wide state, the language, the settings load, the reading session and
/// modem, reading and delivery, the polling cycle, the configuration, list and document
/// commands, program upload and library installation). Windows receive it and forward to it.
class ProgramCore
{
public:
    /// How the program goes on after start-up.
    enum class Start {
        UploadNeeded,   ///< no terminal program is installed: the port stays shut
        WaitingForCall, ///< auto answer: the modem waits for a call
        Reading,        ///< the reading session is open on the cradle's port
    };

    ProgramCore(const ProgramPlatform& platform, const MainWindowParts& window);
    ~ProgramCore();

private:
    /// The journal in memory when the platform brings none; before `journal`, which refers to it.
    std::unique_ptr<Journal> m_memoryJournal;

public:
    ProgramCore(const ProgramCore&) = delete;
    ProgramCore& operator=(const ProgramCore&) = delete;

    /// The start-up sequence: loads the settings, cuts back appends a crash interrupted and
    /// removes the temporary files a killed run left beside the output file, installs a fresh copy
    /// of the communication library before its first use (through `runInstallation`, which shows
    /// the wait window), then opens the reading session or waits for a modem call, unless no
    /// terminal program is installed yet (status panel 2 then says so).
    Start start(const std::function<void(LibraryInstaller&)>& runInstallation);
    /// The shutdown: ends the reading session, or restores the modem. Runs once.
    void shutdown();

    /// The "Read data" command: reads the terminal into the window and journals it as shown.
    void readData();

    /// The port is released or taken as auto answer is switched off or on.
    void switchAutoAnswer(bool autoAnswer);
    /// Removes readings older than JournalDays from the journal.
    void removeOldReadings();

    /// Told when a reading begins, and when it has ended and is settled (journaled, delivered
    /// or not); either may be empty.
    std::function<void()> readingBegins;
    std::function<void()> readingEnded;

    /// Where messages go.
    [[nodiscard]] UserDialogs& dialogs() const { return m_dialogs; }
    /// Where window events run during long work (the wait window lets them run too).
    [[nodiscard]] EventPump& pump() const { return m_pump; }

    AppState state;
    UiLanguage language;
    /// The device behind each port number, for the port lists and the reading session.
    PortDevices portDevices;
    Journal& journal;
    ConfigLoader config;
    ReadingSession session;
    ModemAnswer modem;
    RecordRetrieval retrieval;
    OutputFilePolicy files;
    TerminalClearing clearing;
    /// What delivery clears through: nothing after a reading that was not complete.
    SafeTerminalEraser deliveryClearing;
    ExternalProgramRunner runner;
    FileDelivery fileDelivery;
    KeyboardDelivery keyboardDelivery;
    ReadingDelivery readingDelivery;
    AcquisitionCycle cycle;
    PortDetection detection;
    TemplateImport templateImport;
    GeneralConfiguration configuration;
    FileDialogState fileDialog;
    DocumentCommands documents;
    ListSender lists;
    ProgramUpload upload;

private:
    static void tell(const std::function<void()>& listener);

    CommLibrary& m_library;
    SettingsStore& m_store;
    EventPump& m_pump;
    UserDialogs& m_dialogs;
    MainWindowControls& m_controls;
    std::optional<InstallLocations> m_installLocations;
    bool m_shutDown = false;
};
