#pragma once

#include "output/terminaleraser.h"

#include <QString>
#include <cstdint>

class CommLibrary;
class Journal;
class UiLanguage;
class UserDialogs;
struct AppState;

/// Erasing data on the terminal in the cradle: one list chosen by number, or all data.
class TerminalClearing : public TerminalEraser
{
public:
    /// Each clearing is recorded in `journal`, when there is one.
    TerminalClearing(CommLibrary& library, AppState& state, UserDialogs& dialogs,
                     const UiLanguage& language, Journal* journal = nullptr);

    /// Asks for the list number and clears that list; 0, negative or not a number does nothing.
    void clearList();
    /// Clears all data at once, without asking. Returns the library's result (16-bit reading).
    std::int16_t clearAll() override;

    /// The list number typed: a whole number within 16 bits (rounded), otherwise 0.
    [[nodiscard]] static std::int16_t listNumber(const QString& entry);

private:
    void reportResult(std::int16_t result);
    void journal(const QString& kind, const QString& detail, std::int16_t result);

    CommLibrary& m_library;
    AppState& m_state;
    UserDialogs& m_dialogs;
    const UiLanguage& m_language;
    Journal* m_journal;
};
