#pragma once

#include "acquisition/portdetection.h"
#include "acquisition/portdevices.h"
#include "acquisition/templateimport.h"

#include <QString>
#include <functional>
#include <optional>

class ConfigLoader;
class SettingsStore;
class UiLanguage;
class UserDialogs;
struct AppState;

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
    bool SkipDuplicateReadings = false;
    bool KeepInTray = false;

    friend bool operator==(const ConfigurationValues&, const ConfigurationValues&) = default;
};

/// The logic of the configuration dialog: what it shows when it opens, what OK does, the two
/// Browse buttons with their shared file dialog, the language, and the three "Auto detect"
/// buttons that ask the terminal.
class GeneralConfiguration
{
public:
    /// Switches the program between reading from the cradle and waiting for a modem call, on
    /// the port in force: true stops the reading session and waits for a call, false hangs up
    /// the modem's port and opens the reading session.
    using AutoAnswerSwitch = std::function<void(bool autoAnswer)>;

    GeneralConfiguration(SettingsStore& store, UserDialogs& dialogs, AppState& state,
                         UiLanguage& language, ConfigLoader& config, PortDetection& detection,
                         TemplateImport& import, AutoAnswerSwitch switchAutoAnswer);

    /// Moves the reading session, or the modem waiting for calls, to the port chosen at OK; told
    /// the port number in force before.
    using PortSwitch = std::function<void(int previousPort)>;
    void setPortSwitch(PortSwitch portSwitch) { m_portSwitch = std::move(portSwitch); }
    /// Where the port list finds each port's device and adapter; none: the bare port names.
    void setPortDevices(const PortDevices* devices) { m_portDevices = devices; }
    /// The port list: Com1 to Com16 with their devices, read afresh at each call.
    [[nodiscard]] QList<PortChoice> portChoices() const;

    /// A new dialog opens: the values it shows (see load) and a fresh shared file dialog.
    [[nodiscard]] ConfigurationValues open();

    /// The controls as the store fills them when the dialog is created. When the store selects
    /// several options of a group, the one set last (in the order automatic, keyboard, manual;
    /// numbered, overwrite, append) stays selected. A value that is no option or check state
    /// leaves its control unselected; the settings load reports it.
    [[nodiscard]] static ConfigurationValues load(SettingsStore& store);

    /// Applies the language named in the dialog's Language box to the main window and the dialog.
    void applyLanguage(const QString& languageName);
    /// The current language: 0 English, 1 Portuguese, 2 Spanish.
    [[nodiscard]] int languageIndex() const;

    /// OK: writes every setting, switches between the reading session and the modem wait when
    /// auto answer changed (on the port in force before OK), stores auto answer, reloads the
    /// settings, moves an open (or lost) reading session to a port that changed, and applies
    /// the language. False when the store could not keep the values (it has
    /// told the user why), or when a template is longer than kMaxTemplateLength (nothing is
    /// written then, and a message says which); the dialog then stays open so that nothing typed
    /// is lost.
    [[nodiscard]] bool save(const ConfigurationValues& values);

    /// Browse for the output file: offers "TerminalId.txt"; the box receives the file dialog's
    /// file name, which a cancelled dialog leaves as offered.
    [[nodiscard]] QString browseOutputFile();
    /// Browse for the external program: offers nothing of its own; the box receives the file
    /// dialog's file name, which is the one of its last use in this dialog when cancelled.
    [[nodiscard]] QString browseExternalProgram();

    /// Port detection with the port and line-speed boxes' texts (see PortDetection::detect).
    PortDetection::Result detectPort(const QString& comPortText, const QString& baudRateText,
                                     const std::function<void(const QString&)>& showPort);
    /// The template the terminal carries (see TemplateImport::importTemplate).
    [[nodiscard]] std::optional<QString> importTemplate(TemplateImport::Kind kind);

private:
    void switchAutoAnswer(bool checked);

    SettingsStore& m_store;
    UserDialogs& m_dialogs;
    AppState& m_state;
    UiLanguage& m_language;
    ConfigLoader& m_config;
    PortDetection& m_detection;
    TemplateImport& m_import;
    AutoAnswerSwitch m_switchAutoAnswer;
    PortSwitch m_portSwitch;
    const PortDevices* m_portDevices = nullptr;
    /// The file name held by the one file dialog that both Browse buttons share.
    QString m_fileDialogName;
};
