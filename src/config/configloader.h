#pragma once

class LocaleSource;
class SettingsStore;
class UiLanguage;
class UserDialogs;
struct Settings;

/// Loads the Settings record from the store (loadSettings): every key with its conversion, the
/// first-run language from the user's locale, the language applied, and one message when any
/// value could not be taken.
class ConfigLoader
{
public:
    ConfigLoader(SettingsStore& store, const LocaleSource& locale, UiLanguage& language,
                 UserDialogs& dialogs);

    /// Reloads every field it can convert; a field whose value cannot be converted keeps what it
    /// had. Applies the stored language to the main window and the configuration dialog.
    void loadSettings(Settings& settings);

private:
    SettingsStore& m_store;
    const LocaleSource& m_locale;
    UiLanguage& m_language;
    UserDialogs& m_dialogs;
};
