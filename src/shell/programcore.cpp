#include "programcore.h"

#include "common/mainwindowcontrols.h"
#include "common/settings.h"
#include "common/settingsstore.h"
#include "common/userdialogs.h"
#include "document/richdocumentview.h"
#include "journal/memoryjournal.h"
#include "link/commlibrary.h"

#include <QCoreApplication>
#include <QDir>

namespace {

/// String table rows of the menu and its entry that install a terminal program.
constexpr int kRowCommunicationMenu = 7;
constexpr int kRowUploadSoftware = 33;

/// The journal given, or a new one in memory held by `owner`.
Journal& journalOf(const ProgramPlatform& platform, std::unique_ptr<Journal>& owner)
{
    if (platform.journal != nullptr) {
        return *platform.journal;
    }
    owner = std::make_unique<MemoryJournal>();
    return *owner;
}

} // namespace

ProgramCore::ProgramCore(const ProgramPlatform& p, const MainWindowParts& w)
    : portDevices(p.portRoots.value_or(PortDeviceRoots{}))
    , journal(journalOf(p, m_memoryJournal))
    , config(p.store, p.locale, language, p.dialogs)
    , session(p.library, state, w.controls, p.pump, p.dialogs, language)
    , modem(p.library, state, w.controls, p.pump, p.dialogs, language, session)
    , retrieval(p.library, state, config, w.view, p.dialogs, language, w.controls)
    , files(p.store, w.view, w.controls, &journal)
    , clearing(p.library, state, p.dialogs, language, &journal)
    , deliveryClearing(clearing, state)
    , runner(p.pump, p.dialogs)
    , fileDelivery(files, deliveryClearing, runner, p.dialogs, state)
    , keyboardDelivery(p.keys, deliveryClearing, w.view, p.dialogs)
    , readingDelivery(journal, state, w.view, p.dialogs, w.controls, fileDelivery, keyboardDelivery,
                      deliveryClearing)
    , cycle(p.library, state, w.controls, w.view, p.dialogs, language, p.store, modem,
            {[this] {
                 tell(readingBegins);
                 retrieval.readTerminalData();
                 if (!state.DataReceived) {
                     tell(readingEnded); // nothing to deliver
                 }
             },
             [this] {
                 readingDelivery.deliver();
                 // The reading is settled (journaled, delivered, cleared or not): its rows go to
                 // a shared journal now; if that cannot be reached they wait for the next time.
                 (void)journal.forward();
                 tell(readingEnded);
             },
             [this] { return session.closeIfDeviceGone(); },
             [this] { return session.reopenLostPort(); }})
    , detection(p.library, state, session, p.pump, p.dialogs)
    , templateImport(p.library, state, p.dialogs)
    , configuration(p.store, p.dialogs, state, language, config, detection, templateImport,
                    [this](bool autoAnswer) { switchAutoAnswer(autoAnswer); })
    , documents(w.view, w.controls, p.dialogs, w.printer, state.settings, fileDialog)
    , lists(p.library, state, p.dialogs, w.view, w.controls, fileDialog, language, &journal)
    , upload(p.library, state, session, p.store, p.pump, p.dialogs, language, p.programSources,
             p.offlineFolder, p.uploadTiming, &journal)
    , m_library(p.library)
    , m_store(p.store)
    , m_pump(p.pump)
    , m_dialogs(p.dialogs)
    , m_controls(w.controls)
    , m_installLocations(p.installLocations)
{
    session.setDeviceLocator([this](int port) { return portDevices.devicePath(port); });
    configuration.setPortDevices(&portDevices);
    configuration.setPortSwitch([this](int previousPort) {
        if (state.settings.AutoAnswer) {
            modem.switchPort(previousPort);
        } else {
            session.switchPort(previousPort);
        }
    });
    upload.setPortDevices(&portDevices);
}

ProgramCore::~ProgramCore() = default;

void ProgramCore::tell(const std::function<void()>& listener)
{
    if (listener) {
        listener();
    }
}

void ProgramCore::readData()
{
    tell(readingBegins);
    retrieval.readTerminalData();
    readingDelivery.recordShownOnly();
    tell(readingEnded);
}

ProgramCore::Start ProgramCore::start(const std::function<void(LibraryInstaller&)>& runInstallation)
{
    config.loadSettings(state.settings);
    // A crash during an append may have left part of a reading at the end of an output file.
    if (const QString problem = files.recoverInterruptedAppends(); !problem.isEmpty()) {
        dialogs().showWarning(
            QCoreApplication::translate("ProgramCore",
                                        "An output file could not be put back as it was before an "
                                        "interrupted append: %1")
                .arg(problem));
    }
    // A run killed while it wrote an output file left the temporary file of that write beside it.
    if (const QString problem = OutputFilePolicy::removeLeftoverFiles(state.settings.MyFileName);
        !problem.isEmpty()) {
        dialogs().showWarning(
            QCoreApplication::translate(
                "ProgramCore", "What an earlier run left beside the output file could not all be "
                               "removed: %1.")
                .arg(problem));
    }
    removeOldReadings();
    // Rows left from an earlier run while a shared journal could not be reached.
    (void)journal.forward();
    // A fresh copy of the communication library beside the program is installed before the
    // first call into it.
    LibraryInstaller installer(m_dialogs, m_pump,
                               m_installLocations.value_or(InstallLocations::forThisMachine()));
    if (runInstallation) {
        runInstallation(installer);
    } else {
        installer.installCommLibrary();
    }
    Start outcome = Start::Reading;
    // Without an installed terminal program the user installs one first; the port stays shut.
    if (!upload.programInstalled()) {
        outcome = Start::UploadNeeded;
        m_controls.setStatusText(
            2, QCoreApplication::translate("ProgramCore",
                                           "No terminal program is installed yet: install one "
                                           "with %1 > %2.")
                   .arg(language.text(kRowCommunicationMenu), language.text(kRowUploadSoftware)));
    } else if (state.settings.AutoAnswer) {
        modem.waitForCall();
        outcome = Start::WaitingForCall;
    } else {
        session.startReceiving();
    }
    // The first tick comes after start-up, so this is in place before the first library call.
    state.TerminalId = QByteArray(8, ' ');
    return outcome;
}

void ProgramCore::shutdown()
{
    if (m_shutDown) {
        return;
    }
    m_shutDown = true;
    if (state.settings.AutoAnswer) {
        modem.restoreAtClose();
    } else {
        session.stopReceiving();
    }
}

void ProgramCore::removeOldReadings()
{
    bool isNumber = false;
    const int days = m_store.readSetting(SettingsKey::JournalDays, SettingsDefault::JournalDays)
                         .trimmed()
                         .toInt(&isNumber);
    // A value that is no positive number keeps everything: nothing is removed by mistake.
    if (!isNumber || days <= 0) {
        return;
    }
    if (!journal.removeOlderThan(QDateTime::currentDateTimeUtc().addDays(-days))) {
        dialogs().showWarning(
            QCoreApplication::translate("ProgramCore",
                                        "Old readings could not be removed from the journal: %1")
                .arg(journal.problem()));
    }
}

void ProgramCore::switchAutoAnswer(bool autoAnswer)
{
    if (autoAnswer) {
        session.stopReceiving();
        modem.waitForCall();
    } else {
        m_library.IO_Close(state.settings.ComPortNumber);
        session.startReceiving();
    }
}
