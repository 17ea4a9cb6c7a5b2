#pragma once

#include "journal/journal.h"

#include <QString>

class DocumentView;
class FileDelivery;
class KeyboardDelivery;
class MainWindowControls;
class TerminalEraser;
class UserDialogs;
struct AppState;

/// What becomes of a reading once it is in the window. It goes into the journal first, with
/// what is known of it; then a complete reading is delivered (to the files, or as keystrokes)
/// and the journal is told how that went, to which file, and whether the terminal was cleared.
/// A reading that was cut short is journaled as incomplete and not delivered. With
/// SkipDuplicateReadings on, a complete reading equal to the last one delivered from the same
/// terminal is journaled as a skipped duplicate and not delivered again; its data being safe,
/// AutoClear then clears the terminal.
///
/// A journal that cannot be written does not stop a reading: the user is told (once, until the
/// journal works again) and the terminal is not cleared, because without its record the data
/// is not safe.
class ReadingDelivery
{
public:
    ReadingDelivery(Journal& journal, AppState& state, DocumentView& view, UserDialogs& dialogs,
                    MainWindowControls& window, FileDelivery& files, KeyboardDelivery& keys,
                    TerminalEraser& clearing);

    /// After an automatic reading: journal, deliver when complete, journal the outcome.
    void deliver();
    /// After the "Read data" command, which only shows the reading: journals it as such.
    void recordShownOnly();
    /// Delivers an earlier reading once more, as the current settings deliver a complete one
    /// (files or keystrokes): puts its text into the window and journals the delivery as a new
    /// reading of the same terminal. No terminal is ever cleared for it: the one in the cradle,
    /// if any, is not the one the reading came from. True when it was delivered.
    bool deliverAgain(const JournalReading& earlier);

    /// The journal's record of the window's reading as it stands: terminal, port, times,
    /// counts, digest and text.
    [[nodiscard]] JournalReading describe() const;
    /// "keyboard", or the first file policy set: "numbered", "append" or "overwrite".
    [[nodiscard]] QString deliveryMode() const;

private:
    /// Adds the reading to the journal; false (after telling the user, once) when it cannot.
    bool add(JournalReading& reading);
    void update(const JournalReading& reading);
    void journalFailed();
    /// True (after journaling and clearing as AutoClear says) when the reading repeats the last
    /// delivered one of its terminal.
    bool skippedAsDuplicate(JournalReading& reading);
    /// Delivers the window's text as the settings say and puts the outcome into `reading`.
    bool deliverInto(JournalReading& reading);

    Journal& m_journal;
    AppState& m_state;
    DocumentView& m_view;
    UserDialogs& m_dialogs;
    FileDelivery& m_files;
    KeyboardDelivery& m_keys;
    MainWindowControls& m_window;
    TerminalEraser& m_clearing;
    bool m_toldJournalFailed = false;
};
