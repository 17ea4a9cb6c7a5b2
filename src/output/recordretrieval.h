#pragma once

#include <QString>
#include <QtGlobal>

class CommLibrary;
class ConfigLoader;
class DocumentView;
class UiLanguage;
class UserDialogs;
struct AppState;

/// Reads the terminal's headers and entries, formatted by the library with the templates, into
/// the document view (readTerminalData).
class RecordRetrieval
{
public:
    RecordRetrieval(CommLibrary& library, AppState& state, ConfigLoader& config, DocumentView& view,
                    UserDialogs& dialogs, const UiLanguage& language);

    /// Reloads the settings, empties the view and reads document after document (index -1, -2,
    /// ...) while a header template is present, or every entry in one call without one. A
    /// template longer than kMaxTemplateLength is refused with a message before anything is read
    /// (DataReceived is then cleared). Text
    /// read before a failure stays in the view and DataReceived stays set; LastReading then says
    /// the reading was interrupted, and DocumentsRead how far it got.
    void readTerminalData();

    /// A template counts as present when it is longer than 2 characters.
    [[nodiscard]] static bool isPresent(qsizetype templateLength) { return templateLength > 2; }

private:
    enum class Step { Go, Stop };
    /// Why a template of the settings is not used; empty when both are.
    [[nodiscard]] QString templateProblem() const;
    Step handleResult(int result, int token, bool isHeader);

    CommLibrary& m_library;
    AppState& m_state;
    ConfigLoader& m_config;
    DocumentView& m_view;
    UserDialogs& m_dialogs;
    const UiLanguage& m_language;
};
