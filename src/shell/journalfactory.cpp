#include "journalfactory.h"

#include "journal/sqlitejournal.h"

std::unique_ptr<Journal> openDefaultJournal(QString* problem)
{
    auto journal = std::make_unique<SqliteJournal>(SqliteJournal::defaultFilePath());
    if (!journal->isOpen()) {
        if (problem != nullptr) {
            *problem = journal->problem();
        }
        return nullptr;
    }
    if (problem != nullptr) {
        problem->clear();
    }
    return journal;
}
