#pragma once

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
    /// ...) while a header template is present, or every entry in one call without one. Text
    /// read before a failure stays in the view and DataReceived stays set; LastReading then says
    /// the reading was interrupted, and DocumentsRead how far it got.
    void readTerminalData();

    /// A template counts as present when it is longer than 2 characters.
    [[nodiscard]] static bool isPresent(qsizetype templateLength) { return templateLength > 2; }

private:
    enum class Step { Go, Stop };
    Step handleResult(int result, int token, bool isHeader);

    CommLibrary& m_library;
    AppState& m_state;
    ConfigLoader& m_config;
    DocumentView& m_view;
    UserDialogs& m_dialogs;
    const UiLanguage& m_language;
};
