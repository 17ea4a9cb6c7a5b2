#pragma once

#include "common/memorysettingsstore.h"
#include "config/localesource.h"
#include "fakecommlibrary.h"
#include "fakewindow.h"
#include "output/keystrokesink.h"
#include "recordingdialogs.h"
#include "shell/programcore.h"

/// The outside world of the program's logic held in memory: recorded dialogs, window controls,
/// a document view, keystrokes and a printer, in English. A fixture adds its library and store
/// and builds the ProgramCore from platform() and windowParts().
struct MemoryProgramParts
{
    SystemLocaleSource locale{QLocale(QLocale::English, QLocale::UnitedStates)};
    RecordingDialogs dialogs;
    FakeWindowControls window;
    CountingEventPump pump;
    MemoryRichDocumentView view;
    RecordingKeystrokeSink keys;
    RecordingTextPrinter printer;

    [[nodiscard]] ProgramPlatform platform(SettingsStore& store, CommLibrary& library)
    {
        return {store, dialogs, library, pump, keys, locale};
    }
    [[nodiscard]] MainWindowParts windowParts() { return {window, view, printer}; }
};

/// ProgramCore on a scripted library and a store in memory, the rest of the world in memory too:
/// the fixture of logic tests that reach several parts of the program.
struct FakeProgramCore : MemoryProgramParts
{
    FakeCommLibrary library;
    MemorySettingsStore store;
    ProgramCore core{platform(store, library), windowParts()};
};
