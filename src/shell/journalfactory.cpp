#include "journalfactory.h"

#include "common/settings.h"
#include "config/inisettingsstore.h"
#include "journal/forwardingjournal.h"
#include "journal/sqlitejournal.h"

namespace {

std::unique_ptr<Journal> withServer(std::unique_ptr<SqliteJournal> local, const QString& serverUrl)
{
    if (serverUrl.trimmed().isEmpty()) {
        return local;
    }
    return std::make_unique<ForwardingJournal>(std::move(local), serverUrl);
}

} // namespace

std::unique_ptr<Journal> openJournal(const QString& filePath, const QString& serverUrl)
{
    return withServer(std::make_unique<SqliteJournal>(filePath), serverUrl);
}

std::unique_ptr<Journal> openDefaultJournal(QString* problem)
{
    IniSettingsStore store(IniSettingsStore::defaultFilePath(), nullptr);
    auto local = std::make_unique<SqliteJournal>(SqliteJournal::defaultFilePath());
    if (!local->isOpen()) {
        if (problem != nullptr) {
            *problem = local->problem();
        }
        return nullptr;
    }
    if (problem != nullptr) {
        problem->clear();
    }
    return withServer(std::move(local), store.readSetting(SettingsKey::JournalDatabase,
                                                          SettingsDefault::JournalDatabase));
}
