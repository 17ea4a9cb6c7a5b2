#pragma once

#include "config/localesource.h"
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
