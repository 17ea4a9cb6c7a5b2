#pragma once

#include "journal/journal.h"

#include <QString>
#include <optional>

struct AppState;

/// What the desktop is told when a reading ends, in a notification that does not wait for the
/// user: what was read and where it went, or why it went nowhere.
struct ReadingNotice
{
    QString title;
    QString text;
    bool failure = false;

    friend bool operator==(const ReadingNotice&, const ReadingNotice&) = default;
};

/// The notice for the reading that just ended. `journaled` is the journal's newest reading when
/// this reading was journaled (AppState::ReadingJournaled); without it the reading brought
/// nothing or could not be journaled, and the state tells which.
[[nodiscard]] ReadingNotice readingNotice(const AppState& state,
                                          const std::optional<JournalReading>& journaled);

/// What the tray icon shows.
enum class TrayState {
    NoPort,          ///< the port is not open (nor a modem waiting for a call)
    Waiting,         ///< the port is open, no terminal in the cradle
    TerminalPresent, ///< a terminal stands in the cradle
    Reading,         ///< a reading is under way
};

[[nodiscard]] TrayState trayState(const AppState& state, bool reading);
