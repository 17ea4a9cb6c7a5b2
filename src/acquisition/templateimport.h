#pragma once

#include <QString>
#include <optional>

class CommLibrary;
class UserDialogs;
struct AppState;

/// Imports the body or header template that the terminal in the cradle carries (the "Auto
/// detect" buttons below the two template boxes). Writes nothing to the store.
class TemplateImport
{
public:
    enum class Kind { Body, Header };

    TemplateImport(CommLibrary& library, AppState& state, UserDialogs& dialogs);

    /// The new text of the template box: the terminal's template without surrounding spaces,
    /// or empty text when the terminal has none. nullopt when no terminal answers on the port
    /// of the reading session: the box then keeps its text.
    [[nodiscard]] std::optional<QString> importTemplate(Kind kind);

private:
    CommLibrary& m_library;
    AppState& m_state;
    UserDialogs& m_dialogs;
};
