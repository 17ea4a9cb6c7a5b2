#include "generalconfiguration.h"

#include "common/appstate.h"
#include "common/settings.h"
#include "common/settingsconversions.h"
#include "common/settingsstore.h"
#include "common/templatelength.h"
#include "common/userdialogs.h"
#include "configloader.h"
#include "i18n/uilanguage.h"

#include <QCoreApplication>
#include <utility>

namespace {

namespace K = SettingsKey;
namespace C = SettingsConversions;
namespace D = SettingsDefault;

QString read(SettingsStore& store, const char16_t* name, const char16_t* defaultValue)
{
    return store.readSetting(name, defaultValue);
}

/// Selects `option` when the stored text says true; false or an unreadable text leaves the
/// group as it was.
template <typename Group>
void setOption(Group& group, Group option, const QString& text)
{
    if (C::optionState(text).value_or(false)) {
        group = option;
    }
}

/// A check box from a 16-bit check state: ticked when the program would take it as on; a value
/// outside the state's range stays unticked (the settings load reports it).
bool checkBoxState(const QString& text)
{
    const auto state = C::checkState(text);
    return state.has_value() && *state != 0;
}

QString trueFalse(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

QString zeroOne(bool value)
{
    return value ? QStringLiteral("1") : QStringLiteral("0");
}

} // namespace

GeneralConfiguration::GeneralConfiguration(SettingsStore& store, UserDialogs& dialogs,
                                           AppState& state, UiLanguage& language,
                                           ConfigLoader& config, PortDetection& detection,
                                           TemplateImport& import,
                                           AutoAnswerSwitch switchAutoAnswer)
    : m_store(store)
    , m_dialogs(dialogs)
    , m_state(state)
    , m_language(language)
    , m_config(config)
    , m_detection(detection)
    , m_import(import)
    , m_switchAutoAnswer(std::move(switchAutoAnswer))
{
}

ConfigurationValues GeneralConfiguration::open()
{
    m_fileDialogName.clear();
    return load(m_store);
}

ConfigurationValues GeneralConfiguration::load(SettingsStore& store)
{
    ConfigurationValues values;
    values.MyFileName = read(store, K::MyFilenameForLoad, D::MyFileName);
    values.MyExternalProgram = read(store, K::MyExternalProgram, D::MyExternalProgram);
    setOption(values.mode, WorkingMode::Automatic, read(store, K::AutomaticMode, D::AutomaticMode));
    setOption(values.mode, WorkingMode::InsertKeys, read(store, K::InsertKeys, D::InsertKeys));
    setOption(values.mode, WorkingMode::Manual, read(store, K::ManualMode, D::ManualMode));
    values.AutoStart = checkBoxState(read(store, K::AutoStart, D::AutoStart));
    values.AutoClear = checkBoxState(read(store, K::AutoClear, D::AutoClear));
    setOption(values.policy, FilePolicy::IncrNumber, read(store, K::IncrNumber, D::IncrNumber));
    setOption(values.policy, FilePolicy::NewFile, read(store, K::NewFile, D::NewFile));
    setOption(values.policy, FilePolicy::AppendFile, read(store, K::AppendFile, D::AppendFile));
    values.BoxAsciiDataFormat = read(store, K::AsciiDataFormat, D::AsciiDataFormat);
    values.BoxAsciiDataFormat2 = read(store, K::AsciiDataFormat2, D::AsciiDataFormat2);
    values.ComPort = read(store, K::ComPort, D::ComPort);
    values.BaudRate = read(store, K::BaudRate, D::BaudRate);
    values.Language = read(store, K::Language, D::Language);
    // These two are on for any number but 0, as the settings load takes them.
    values.UseTermId = C::checkFlag(read(store, K::UseTerminalId, D::UseTerminalId));
    values.SkipDuplicateReadings =
        C::checkFlag(read(store, K::SkipDuplicateReadings, D::SkipDuplicateReadings));
    values.AutoAnswer = C::checkFlag(read(store, K::AutoAnswer, D::AutoAnswer));
    values.KeepInTray = C::checkFlag(read(store, K::KeepInTray, D::KeepInTray));
    return values;
}

int GeneralConfiguration::languageIndex() const
{
    return m_language.languageIndex();
}

void GeneralConfiguration::applyLanguage(const QString& languageName)
{
    m_language.applyLanguage(languageName,
                             CaptionWindowFlag::Main | CaptionWindowFlag::Configuration);
}

bool GeneralConfiguration::save(const ConfigurationValues& values)
{
    // A template too long to use is not stored; the dialog stays open with it.
    for (const auto& [name, text] : {std::pair(K::AsciiDataFormat, &values.BoxAsciiDataFormat),
                                     std::pair(K::AsciiDataFormat2, &values.BoxAsciiDataFormat2)}) {
        if (const QString problem = templateLengthProblem(name, *text); !problem.isEmpty()) {
            m_dialogs.showWarning(
                QCoreApplication::translate(
                    "GeneralConfiguration",
                    "%1, so the configuration was not saved. Shorten the template.")
                    .arg(problem));
            return false;
        }
    }
    const std::pair<const char16_t*, QString> writes[] = {
        {K::MyFileName, values.MyFileName},
        {K::MyExternalProgram, values.MyExternalProgram},
        {K::AutomaticMode, trueFalse(values.mode == WorkingMode::Automatic)},
        {K::InsertKeys, trueFalse(values.mode == WorkingMode::InsertKeys)},
        {K::ManualMode, trueFalse(values.mode == WorkingMode::Manual)},
        {K::AutoStart, zeroOne(values.AutoStart)},
        {K::AutoClear, zeroOne(values.AutoClear)},
        {K::IncrNumber, trueFalse(values.policy == FilePolicy::IncrNumber)},
        {K::NewFile, trueFalse(values.policy == FilePolicy::NewFile)},
        {K::AppendFile, trueFalse(values.policy == FilePolicy::AppendFile)},
        {K::AsciiDataFormat, values.BoxAsciiDataFormat},
        {K::AsciiDataFormat2, values.BoxAsciiDataFormat2},
        {K::ComPort, values.ComPort},
        {K::BaudRate, values.BaudRate},
        {K::Language, values.Language},
        {K::UseTerminalId, zeroOne(values.UseTermId)},
    };
    bool saved = true;
    for (const auto& [name, text] : writes) {
        saved &= m_store.writeSetting(name, text);
    }
    // Written only when it changes, so a store that never had it stays as it was.
    const QString skip = zeroOne(values.SkipDuplicateReadings);
    if (zeroOne(C::checkFlag(read(m_store, K::SkipDuplicateReadings, D::SkipDuplicateReadings))) !=
        skip) {
        saved &= m_store.writeSetting(K::SkipDuplicateReadings, skip);
    }
    const QString keepInTray = zeroOne(values.KeepInTray);
    if (zeroOne(C::checkFlag(read(m_store, K::KeepInTray, D::KeepInTray))) != keepInTray) {
        saved &= m_store.writeSetting(K::KeepInTray, keepInTray);
    }
    // Nothing is switched on values the store did not keep: the next start would disagree.
    if (!saved) {
        return false;
    }
    switchAutoAnswer(values.AutoAnswer);
    saved = m_store.writeSetting(K::AutoAnswer, zeroOne(values.AutoAnswer));
    const int previousPort = m_state.settings.ComPortNumber;
    m_config.loadSettings(m_state.settings);
    // The session, or the modem waiting for calls, follows the port at once; a port that cannot
    // be opened says so now.
    const bool portInUse = m_state.PortOpen || m_state.PortLost || m_state.settings.AutoAnswer;
    if (m_state.settings.ComPortNumber != previousPort && portInUse && m_portSwitch) {
        m_portSwitch(previousPort);
    }
    applyLanguage(values.Language);
    return saved;
}

void GeneralConfiguration::switchAutoAnswer(bool checked)
{
    // The stored state is the one the program runs in: the load takes any number but 0 as on.
    const bool stored = C::checkFlag(read(m_store, K::AutoAnswer, D::AutoAnswer));
    if (stored == checked) {
        return;
    }
    // The switch acts on the port number in force now; the reload comes afterwards.
    if (m_switchAutoAnswer) {
        m_switchAutoAnswer(checked);
    }
}

QList<PortChoice> GeneralConfiguration::portChoices() const
{
    if (m_portDevices != nullptr) {
        return m_portDevices->choices(PortDetection::kFirstPort, PortDetection::kLastPort);
    }
    QList<PortChoice> plain;
    for (int port = PortDetection::kFirstPort; port <= PortDetection::kLastPort; ++port) {
        plain.append({PortDevices::portValue(port), PortDevices::portValue(port)});
    }
    return plain;
}

QString GeneralConfiguration::browseOutputFile()
{
    m_fileDialogName = QStringLiteral("TerminalId.txt");
    if (auto chosen = m_dialogs.saveFileName({{}, {}, m_fileDialogName})) {
        m_fileDialogName = std::move(*chosen);
    }
    return m_fileDialogName;
}

QString GeneralConfiguration::browseExternalProgram()
{
    if (auto chosen = m_dialogs.saveFileName({{}, {}, m_fileDialogName})) {
        m_fileDialogName = std::move(*chosen);
    }
    return m_fileDialogName;
}

PortDetection::Result
GeneralConfiguration::detectPort(const QString& comPortText, const QString& baudRateText,
                                 const std::function<void(const QString&)>& showPort)
{
    return m_detection.detect(comPortText, baudRateText, showPort);
}

std::optional<QString> GeneralConfiguration::importTemplate(TemplateImport::Kind kind)
{
    return m_import.importTemplate(kind);
}
