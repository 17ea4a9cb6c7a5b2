#include "configloader.h"

#include "common/settings.h"
#include "common/settingsconversions.h"
#include "common/settingsstore.h"
#include "common/userdialogs.h"
#include "i18n/uilanguage.h"
#include "localesource.h"

#include <QCoreApplication>

namespace {

QString key(const char16_t* name)
{
    return QString::fromUtf16(name);
}

const QString kNull = QStringLiteral("Null");

} // namespace

ConfigLoader::ConfigLoader(SettingsStore& store, const LocaleSource& locale, UiLanguage& language,
                           UserDialogs& dialogs)
    : m_store(store)
    , m_locale(locale)
    , m_language(language)
    , m_dialogs(dialogs)
{
}

void ConfigLoader::loadSettings(Settings& settings)
{
    namespace K = SettingsKey;
    namespace C = SettingsConversions;
    namespace D = SettingsDefault;
    bool failed = false;

    const auto read = [this](const char16_t* name, const char16_t* defaultValue) {
        return m_store.readSetting(name, defaultValue);
    };
    // A value that cannot be converted leaves its field as it was.
    const auto setOption = [&](bool& field, const char16_t* name, const char16_t* defaultValue) {
        if (const auto value = C::optionState(read(name, defaultValue))) {
            field = *value;
        } else {
            failed = true;
        }
    };
    const auto setCheckState = [&](std::int16_t& field, const char16_t* name,
                                   const char16_t* defaultValue) {
        if (const auto value = C::checkState(read(name, defaultValue))) {
            field = *value;
        } else {
            failed = true;
        }
    };

    settings.MyFileName = read(K::MyFilenameForLoad, D::MyFileName);
    settings.MyExternalProgram = read(K::MyExternalProgram, D::MyExternalProgram);
    setOption(settings.AutomaticMode, K::AutomaticMode, D::AutomaticMode);
    setOption(settings.ManualMode, K::ManualMode, D::ManualMode);
    setOption(settings.InsertKeys, K::InsertKeys, D::InsertKeys);
    setCheckState(settings.AutoStart, K::AutoStart, D::AutoStart);
    setCheckState(settings.AutoClear, K::AutoClear, D::AutoClear);
    setOption(settings.IncrNumber, K::IncrNumber, D::IncrNumber);
    setOption(settings.NewFile, K::NewFile, D::NewFile);
    setOption(settings.AppendFile, K::AppendFile, D::AppendFile);
    settings.BodyTemplate = read(K::AsciiDataFormat, D::AsciiDataFormat) + QLatin1String("\r\n");
    settings.HeaderTemplate = read(K::AsciiDataFormat2, D::AsciiDataFormat2);
    if (const auto port = C::comPortNumber(read(K::ComPort, D::ComPort))) {
        settings.ComPortNumber = *port;
    } else {
        failed = true;
    }
    settings.BaudRate9600 = kBaudRate9600;
    settings.IncrNumberText = read(K::IncrNumberText, D::IncrNumberText);
    settings.UseTerminalId = C::checkFlag(read(K::UseTerminalId, D::UseTerminalId));
    settings.SkipDuplicateReadings =
        C::checkFlag(read(K::SkipDuplicateReadings, D::SkipDuplicateReadings));
    settings.AutoAnswer = C::checkFlag(read(K::AutoAnswer, D::AutoAnswer));
    settings.KeepInTray = C::checkFlag(read(K::KeepInTray, D::KeepInTray));

    // First run (or a language stored as "Null"): English first, then the locale's language
    // where it is one of ours, so the key exists afterwards whatever the locale.
    const QString language = key(K::Language);
    if (m_store.read(language, kNull) == kNull) {
        const QString localeName = m_locale.languageName();
        failed |= !m_store.write(language, QStringLiteral("English"));
        if (localeName.left(9) == QLatin1String("Portugues")) {
            failed |= !m_store.write(language, QStringLiteral("Portugues"));
        }
        if (localeName.left(7) == QLatin1String("Spanish")) {
            failed |= !m_store.write(language, QStringLiteral("Spanish"));
        }
    }
    m_language.applyLanguage(m_store.readSetting(K::Language, D::Language),
                             CaptionWindowFlag::Main | CaptionWindowFlag::Configuration);
    // A store that could not be read in full counts as one more value that could not be taken.
    failed |= !m_store.loadProblem().isEmpty();

    if (failed) {
        m_dialogs.showWarning(
            QCoreApplication::translate("ConfigLoader", "Invalid Configurations !!!"));
    }
}
