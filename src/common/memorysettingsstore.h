#pragma once

#include "settingsstore.h"

#include <QList>
#include <QPair>

/// A settings store held in memory only; keys keep the spelling of their first write.
class MemorySettingsStore : public SettingsStore
{
public:
    std::optional<QString> value(const QString& key) override;
    bool write(const QString& key, const QString& value) override;

    /// Every entry in the order first written, for inspection.
    [[nodiscard]] const QList<QPair<QString, QString>>& entries() const { return m_entries; }

private:
    QList<QPair<QString, QString>> m_entries;
};
