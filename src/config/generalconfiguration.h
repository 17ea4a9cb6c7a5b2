#pragma once

#include <QString>

class CommLibrary;
class ConfigLoader;
class EventPump;
class ModemAnswer;
class ReadingSession;
class SettingsStore;
class UiLanguage;
class UserDialogs;
struct AppState;

/// What the configuration dialog works with; everything is owned by the main window.
struct ConfigurationContext
{
    SettingsStore& store;
    UserDialogs& dialogs;
    CommLibrary& library;
    EventPump& pump;
    AppState& state;
    UiLanguage& language;
    ConfigLoader& config;
    ReadingSession& session;
    ModemAnswer& modem;
};

/// The working-mode option group; None when the store selects no option of it.
enum class WorkingMode { None, Automatic, Manual, InsertKeys };
/// The output-file policy option group; None when the store selects no option of it.
enum class FilePolicy { None, IncrNumber, NewFile, AppendFile };

/// Every control of the configuration dialog that edits a setting, by the control's name.
struct ConfigurationValues
{
    QString MyFileName;
    QString MyExternalProgram;
    WorkingMode mode = WorkingMode::None;
    bool AutoStart = false;
    bool AutoClear = false;
    FilePolicy policy = FilePolicy::None;
    QString BoxAsciiDataFormat;
    QString BoxAsciiDataFormat2;
    QString ComPort;
    QString BaudRate;
    QString Language;
    bool UseTermId = false;
    bool AutoAnswer = false;

    friend bool operator==(const ConfigurationValues&, const ConfigurationValues&) = default;
};

/// The logic of the configuration dialog: what it shows when it opens, what OK does, the two
/// Browse buttons with their shared file dialog, and the language.
class GeneralConfiguration
{
public:
    explicit GeneralConfiguration(const ConfigurationContext& context);

    /// The controls as the store fills them when the dialog is created. When the store selects
    /// several options of a group, the one set last (in the order automatic, keyboard, manual;
    /// numbered, overwrite, append) stays selected. A value that is no option or check state
    /// leaves its control unselected; the settings load reports it.
    [[nodiscard]] static ConfigurationValues load(SettingsStore& store);

    /// Applies the language named in the dialog's Language box to the main window and the dialog.
    void applyLanguage(const QString& languageName);

    /// OK: writes every setting, switches between the reading session and the modem wait when
    /// auto answer changed (on the port in force before OK), stores auto answer, reloads the
    /// settings and applies the language. False when the store could not keep the values (it has
    /// told the user why); the dialog then stays open so that nothing typed is lost.
    [[nodiscard]] bool Command2_Click(const ConfigurationValues& values);

    /// Browse for the output file: offers "TerminalId.txt"; the box receives the file dialog's
    /// file name, which a cancelled dialog leaves as offered.
    [[nodiscard]] QString Command1_Click();
    /// Browse for the external program: offers nothing of its own; the box receives the file
    /// dialog's file name, which is the one of its last use in this dialog when cancelled.
    [[nodiscard]] QString Command4_Click();

private:
    void switchAutoAnswer(bool checked);

    ConfigurationContext m_context;
    /// The file name held by the one file dialog that both Browse buttons share.
    QString m_fileDialogName;
};
