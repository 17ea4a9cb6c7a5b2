#pragma once

#include <QString>
#include <memory>

class Journal;

/// The journal of this user, as the program keeps it in its data folder, opened for the
/// command line's journal commands. Needs a QCoreApplication. nullptr (with the reason in
/// `problem`) when it cannot be opened.
[[nodiscard]] std::unique_ptr<Journal> openDefaultJournal(QString* problem);
