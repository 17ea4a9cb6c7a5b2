#pragma once

#include "common/documentview.h"
#include "config/localesource.h"
#include "config/memorysettingsstore.h"
#include "fakewindow.h"
#include "link/vorlaklibrary.h"
#include "output/keystrokesink.h"
#include "recordingdialogs.h"
#include "shell/programcore.h"

/// The program's logic over the real libvorlak (from KOLBRIN_BIN_DIR), with the rest of the
/// world in memory: settings, recorded dialogs, window controls, text view and keystrokes.
/// End-to-end tests derive from it next to a SimTerminal.
struct RealLibraryCore
{
    MemorySettingsStore store;
    SystemLocaleSource locale{QLocale(QLocale::English, QLocale::UnitedStates)};
    RecordingDialogs dialogs;
    VorlakLibrary library{dialogs, {QString::fromLocal8Bit(qgetenv("KOLBRIN_BIN_DIR")), {}, false}};
    FakeWindowControls window;
    CountingEventPump pump;
    MemoryDocumentView view;
    RecordingKeystrokeSink keys;
    ProgramCore core{{store, dialogs, library, window, view, pump, keys, locale}};
};
