#pragma once

#include <QString>
#include <QStringList>

class ExternalProgramRunner;
class OutputFilePolicy;
class TerminalEraser;
class UserDialogs;
struct AppState;

/// Delivers a reading to files: writes every file of the set policies first, clears the
/// terminal (when AutoClear is on) only once all of them are written, then runs the external
/// program. A file that cannot be written stops the delivery with a message: the data stays on
/// the terminal and in the view, and the external program is not run.
class FileDelivery
{
public:
    FileDelivery(OutputFilePolicy& files, TerminalEraser& clearing, ExternalProgramRunner& runner,
                 UserDialogs& dialogs, AppState& state);

    /// True when every file was written. With no file policy selected nothing is written and
    /// the user is told so: that is no delivery.
    bool deliver();

    /// The files the last delivery wrote, in the order written.
    [[nodiscard]] const QStringList& written() const { return m_written; }
    /// What the last delivery told the user about a failure; empty when it told nothing.
    [[nodiscard]] const QString& problem() const { return m_problem; }

private:
    OutputFilePolicy& m_files;
    TerminalEraser& m_clearing;
    ExternalProgramRunner& m_runner;
    UserDialogs& m_dialogs;
    AppState& m_state;
    QStringList m_written;
    QString m_problem;
};
