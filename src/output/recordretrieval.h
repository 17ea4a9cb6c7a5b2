#pragma once

#include "markedtemplate.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <optional>

class CommLibrary;
class ConfigLoader;
class DocumentView;
class MainWindowControls;
class UiLanguage;
class UserDialogs;
struct AppState;

/// Reads the terminal's headers and entries, formatted by the library with the templates, into
/// the document view (readTerminalData).
class RecordRetrieval
{
public:
    RecordRetrieval(CommLibrary& library, AppState& state, ConfigLoader& config, DocumentView& view,
                    UserDialogs& dialogs, const UiLanguage& language, MainWindowControls& window);

    /// Reloads the settings, empties the view and reads document after document (index -1, -2,
    /// ...) while a header template is present, or every entry in one call without one. A
    /// template longer than kMaxTemplateLength is refused with a message before anything is read
    /// (DataReceived is then cleared). Text
    /// read before a failure stays in the view and DataReceived stays set; LastReading then says
    /// the reading was interrupted, and DocumentsRead how far it got.
    /// In keyboard mode the library gets the templates with their field groups marked, and the
    /// text it returns is shown as keystroke notation in which the values are typed as they are
    /// (MarkedTemplate); in file mode it gets them byte for byte as stored.
    /// While it reads, panel 1 shows the documents and records so far (records within a call
    /// when the library tells them, otherwise as each call ends); afterwards it shows what it
    /// showed before.
    void readTerminalData();

    /// Ends the reading under way before its next document (the call in flight finishes); the
    /// reading then counts as interrupted (ReadingStopped set): neither delivered nor cleared.
    /// Asked for between readings, it stops the next one before its first document.
    void requestStop() { m_stopRequested = true; }
    /// A reading is under way (its calls may let window events run).
    [[nodiscard]] bool reading() const { return m_reading; }

    /// A template counts as present when it is longer than 2 characters.
    [[nodiscard]] static bool isPresent(qsizetype templateLength) { return templateLength > 2; }

private:
    enum class Step { Go, Stop };
    /// Why a template of the settings is not used; empty when both are.
    [[nodiscard]] QString templateProblem() const;
    /// A template as the library gets it, in Windows-1252; marked in keyboard mode, when
    /// `marks` is set to read the library's text back.
    [[nodiscard]] QByteArray libraryTemplate(const QString& userTemplate, bool* lossy,
                                             std::optional<MarkedTemplate>& marks) const;
    Step handleResult(int result, int token, bool isHeader);
    /// The text read so far is built here and shown once: the view would lay out its whole text
    /// again for every piece, which made a reading's cost grow with its square. It holds what the
    /// view would hold had every piece been added to it (line breaks made one kind as each
    /// piece comes, spaces trimmed at the start after each header).
    void appendRead(const QString& piece);
    void trimReadStart();
    void showRead();
    void showProgress();

    CommLibrary& m_library;
    AppState& m_state;
    ConfigLoader& m_config;
    DocumentView& m_view;
    UserDialogs& m_dialogs;
    const UiLanguage& m_language;
    QString m_read;
    /// The marks of the reading under way's templates; none in file mode.
    std::optional<MarkedTemplate> m_headerMarks;
    std::optional<MarkedTemplate> m_bodyMarks;
    MainWindowControls& m_window;
    bool m_stopRequested = false;
    bool m_reading = false;
    /// Records of the calls ended so far, and of the entries call under way as the library
    /// tells them.
    qint64 m_records = 0;
    qint64 m_callRecords = 0;
    bool m_entriesCall = false;
    /// The library tells the records of each call; otherwise they are counted from the text.
    bool m_libraryCounts = false;
};
