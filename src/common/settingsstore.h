#pragma once

#include <QString>
#include <optional>

/// The per-user store of the program's settings: text values under case-insensitive keys, in
/// the one section "Setup". Nothing is ever deleted.
class SettingsStore
{
public:
    virtual ~SettingsStore() = default;

    /// The value stored under the key (matched without regard to letter case), if any.
    [[nodiscard]] virtual std::optional<QString> value(const QString& key) = 0;

    /// Stores the value under the key, updating the entry of any spelling of that key. False
    /// when the value could not be made to last (the store has then told the user why).
    [[nodiscard]] virtual bool write(const QString& key, const QString& value) = 0;

    /// Why the store's content could not be read in full the last time it was loaded; empty
    /// when it could.
    [[nodiscard]] virtual QString loadProblem() const { return {}; }

    /// The value, or the default when the key is absent.
    [[nodiscard]] QString read(const QString& key, const QString& defaultValue)
    {
        return value(key).value_or(defaultValue);
    }

    /// read() and write() for the names of SettingsKey and the defaults of SettingsDefault.
    [[nodiscard]] QString readSetting(const char16_t* key, const char16_t* defaultValue)
    {
        return read(QString::fromUtf16(key), QString::fromUtf16(defaultValue));
    }
    [[nodiscard]] bool writeSetting(const char16_t* key, const QString& value)
    {
        return write(QString::fromUtf16(key), value);
    }
};
