#pragma once

#include "listdata.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

class CommLibrary;
class Journal;
class MainWindowControls;
class RichDocumentView;
class UiLanguage;
class UserDialogs;
struct AppState;
struct FileDialogState;

/// "Send entries to terminal": a lookup list kept in a CSV text file goes to the terminal in the
/// cradle. The file is shown in the document view, the user gives the user variable, the list
/// position and the widths of elements and descriptions, and every quoted text of the file
/// becomes a fixed-width field of the list data sent with I_SendList.
///
/// Nothing is sent from a file that cannot be read or is not text, for an entry that is not a
/// whole number (or a negative width), for a list too big for the terminal, or for an empty
/// list (no quoted text in the file, or widths that keep no byte of it), which would wipe the
/// terminal's list at that position; each time a message says which file or entry and why.
class ListSender
{
public:
    /// The largest list data sent in one go; a terminal holds lists in its memory and a serial
    /// line needs hours for more.
    static constexpr std::int64_t kMaxListBytes = std::int64_t(16) << 20;
    /// The longest user variable the library takes.
    static constexpr qsizetype kMaxUserVariable = 1024;

    /// Each list sent is recorded in `journal`, when there is one.
    ListSender(CommLibrary& library, AppState& state, UserDialogs& dialogs, RichDocumentView& view,
               MainWindowControls& window, FileDialogState& dialogState, const UiLanguage& language,
               Journal* journal = nullptr);

    /// The menu command: asks for the file and the four entries, checks the list, sends it and
    /// says how it went.
    void sendList();

    /// The open dialog's filter: "Text CSV (*.csv)" first, then " All Files (*.*)".
    [[nodiscard]] static QString fileFilter();

    /// An entry read as a 32-bit whole number: optional spaces around, an optional sign, digits
    /// only. nullopt for anything else, also for numbers outside 32 bits.
    [[nodiscard]] static std::optional<std::int32_t> wholeNumber(const QString& entry);

private:
    /// What the user asked to send.
    struct Request
    {
        QString path;
        QString text;            ///< the file's text as the view holds it
        QByteArray userVariable; ///< in the terminal's character set
        bool userVariableLossy = false;
        std::int32_t position = 0;
        ListData::Widths widths;
    };

    /// Asks for the file (shown in the view) and the four entries; nullopt (after a message
    /// naming the entry) when one is not acceptable, or when the user cancelled the file.
    std::optional<Request> askRequest();
    /// Builds the list data; nullopt (after a message) when it is too big or empty, or when the
    /// user declines to send a list with an unclosed quote. Warns of characters sent as "?".
    std::optional<ListData::Result> checkList(const Request& request);
    /// Sends the list and says how it went.
    void send(const Request& request, const ListData::Result& list);
    /// Reads the file into the view and returns the text as the view holds it; nullopt (after a
    /// message) when it cannot be read or is no text file.
    std::optional<QString> loadIntoView(const QString& path);
    /// Asks one numeric entry; nullopt (after a message naming it) when it is not acceptable.
    std::optional<std::int32_t> askNumber(const QString& prompt, bool mayBeNegative);
    void refuse(const QString& reason);

    CommLibrary& m_library;
    AppState& m_state;
    UserDialogs& m_dialogs;
    RichDocumentView& m_view;
    MainWindowControls& m_window;
    FileDialogState& m_dialogState;
    const UiLanguage& m_language;
    Journal* m_journal;
};
