#include "memorysettingsstore.h"

std::optional<QString> MemorySettingsStore::value(const QString& key)
{
    for (const auto& [name, text] : m_entries) {
        if (name.compare(key, Qt::CaseInsensitive) == 0) {
            return text;
        }
    }
    return std::nullopt;
}

bool MemorySettingsStore::write(const QString& key, const QString& value)
{
    for (auto& [name, text] : m_entries) {
        if (name.compare(key, Qt::CaseInsensitive) == 0) {
            text = value;
            return true;
        }
    }
    m_entries.append({key, value});
    return true;
}
