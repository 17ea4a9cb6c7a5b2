#pragma once

#include "acquisition/acquisitioncycle.h"
#include "acquisition/modemanswer.h"
#include "acquisition/readingsession.h"
#include "common/appstate.h"
#include "config/configloader.h"
#include "i18n/uilanguage.h"
#include "lists/terminalclearing.h"
#include "output/externalprogramrunner.h"
#include "output/filedelivery.h"
#include "output/keyboarddelivery.h"
#include "output/outputfilepolicy.h"
#include "output/recordretrieval.h"

class CommLibrary;
class DocumentView;
class EventPump;
class KeystrokeSink;
class LocaleSource;
class MainWindowControls;
class SettingsStore;
class UserDialogs;

/// The outside world the program's logic works with: the real one in the running program, real
/// or recording parts in tests.
struct ProgramPlatform
{
    SettingsStore& store;
    UserDialogs& dialogs;
    CommLibrary& library;
    MainWindowControls& window;
    DocumentView& view;
    EventPump& pump;
    KeystrokeSink& keys;
    const LocaleSource& locale;
};

/// Every logic object of the reading path, wired together once: the program-wide state, the
/// language, the settings load, the reading session and modem, reading and delivery, and the
/// polling cycle that drives them.
class ProgramCore
{
public:
    explicit ProgramCore(const ProgramPlatform& platform);
    ProgramCore(const ProgramCore&) = delete;
    ProgramCore& operator=(const ProgramCore&) = delete;

    AppState state;
    UiLanguage language;
    ConfigLoader config;
    ReadingSession session;
    ModemAnswer modem;
    RecordRetrieval retrieval;
    OutputFilePolicy files;
    TerminalClearing clearing;
    ExternalProgramRunner runner;
    FileDelivery fileDelivery;
    KeyboardDelivery keyboardDelivery;
    AcquisitionCycle cycle;
};
