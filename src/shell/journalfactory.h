#pragma once

#include <QString>
#include <memory>

class Journal;

/// The journal in the SQLite file `filePath`; with `serverUrl` (the setting JournalDatabase)
/// not empty, wrapped so that it is copied to that shared journal and listed from there. Never
/// nullptr: a journal that cannot be opened fails its writes and says why.
[[nodiscard]] std::unique_ptr<Journal> openJournal(const QString& filePath,
                                                   const QString& serverUrl);

/// The journal of this user, as the program keeps it in its data folder and as the settings
/// share it, opened for the command line's journal commands. Needs a QCoreApplication. nullptr
/// (with the reason in `problem`) when the local file cannot be opened.
[[nodiscard]] std::unique_ptr<Journal> openDefaultJournal(QString* problem);
