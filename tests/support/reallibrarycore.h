#pragma once

#include "common/memorysettingsstore.h"
#include "link/vorlaklibrary.h"
#include "programcoreparts.h"

/// The program's logic over the real libvorlak (from KOLBRIN_BIN_DIR), with the rest of the
/// world in memory: settings, recorded dialogs, window controls, text view and keystrokes.
/// End-to-end tests derive from it next to a SimTerminal.
struct RealLibraryCore : MemoryProgramParts
{
    MemorySettingsStore store;
    VorlakLibrary library{dialogs, {QString::fromLocal8Bit(qgetenv("KOLBRIN_BIN_DIR")), {}, false}};
    ProgramCore core{platform(store, library), windowParts()};
};
