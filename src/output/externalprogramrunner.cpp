#include "externalprogramrunner.h"

#include "common/eventpump.h"
#include "common/userdialogs.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace {

bool isBlank(QChar ch)
{
    return ch == QLatin1Char(' ') || ch == QLatin1Char('\t') || ch == QLatin1Char('\n') ||
           ch == QLatin1Char('\r');
}

// Inside double quotes a backslash keeps only these characters; before others it is literal.
bool escapableInDoubleQuotes(QChar ch)
{
    return ch == QLatin1Char('$') || ch == QLatin1Char('`') || ch == QLatin1Char('"') ||
           ch == QLatin1Char('\\') || ch == QLatin1Char('\n');
}

// Why the program could not be started, in the user's terms where we can tell, otherwise the
// platform's words.
QString startFailure(const QString& program, const QProcess& process)
{
    if (program.contains(QLatin1Char('/'))) {
        const QFileInfo info(program);
        if (!info.exists()) {
            return QCoreApplication::translate("ExternalProgramRunner",
                                               "the file \"%1\" does not exist")
                .arg(program);
        }
        if (info.isDir()) {
            return QCoreApplication::translate("ExternalProgramRunner",
                                               "\"%1\" is a folder, not a program")
                .arg(program);
        }
        if (!info.isExecutable()) {
            return QCoreApplication::translate(
                       "ExternalProgramRunner",
                       "\"%1\" may not be run: permission denied (it is not marked "
                       "executable)")
                .arg(program);
        }
    } else if (QStandardPaths::findExecutable(program).isEmpty()) {
        return QCoreApplication::translate(
                   "ExternalProgramRunner",
                   "no program named \"%1\" was found in the folders of PATH")
            .arg(program);
    }
    // "execvp: Exec format error": the name of the system call means nothing to the user.
    QString reason = process.errorString();
    const qsizetype colon = reason.indexOf(QLatin1String(": "));
    if (colon > 0 && !reason.left(colon).contains(QLatin1Char(' '))) {
        reason.remove(0, colon + 2);
    }
    return reason;
}

} // namespace

std::optional<QStringList> splitCommandLine(const QString& commandLine, QString* error)
{
    QStringList words;
    QString word;
    bool inWord = false; // a word has begun, even if it stays empty ("")
    qsizetype i = 0;
    const qsizetype size = commandLine.size();
    while (i < size) {
        const QChar ch = commandLine[i];
        if (isBlank(ch)) {
            if (inWord) {
                words.append(word);
                word.clear();
                inWord = false;
            }
            ++i;
            continue;
        }
        inWord = true;
        if (ch == QLatin1Char('\\')) {
            // A backslash at the very end has nothing to keep: it stays itself.
            if (i + 1 < size) {
                word += commandLine[i + 1];
                i += 2;
            } else {
                word += ch;
                ++i;
            }
            continue;
        }
        if (ch == QLatin1Char('\'') || ch == QLatin1Char('"')) {
            const qsizetype open = i;
            const bool isDouble = ch == QLatin1Char('"');
            ++i;
            bool closed = false;
            while (i < size) {
                const QChar inner = commandLine[i];
                if (inner == ch) {
                    closed = true;
                    ++i;
                    break;
                }
                if (isDouble && inner == QLatin1Char('\\') && i + 1 < size &&
                    escapableInDoubleQuotes(commandLine[i + 1])) {
                    word += commandLine[i + 1];
                    i += 2;
                    continue;
                }
                word += inner;
                ++i;
            }
            if (!closed) {
                if (error != nullptr) {
                    *error =
                        QCoreApplication::translate("ExternalProgramRunner",
                                                    "the %1 quote at position %2 is not closed")
                            .arg(isDouble ? QStringLiteral("double") : QStringLiteral("single"))
                            .arg(open + 1);
                }
                return std::nullopt;
            }
            continue;
        }
        word += ch;
        ++i;
    }
    if (inWord) {
        words.append(word);
    }
    return words;
}

ExternalProgramRunner::ExternalProgramRunner(EventPump& pump, UserDialogs& dialogs)
    : m_pump(pump)
    , m_dialogs(dialogs)
{
}

RunResult ExternalProgramRunner::runProgram(const QString& commandLine)
{
    QString splitError;
    const std::optional<QStringList> words = splitCommandLine(commandLine, &splitError);
    if (!words) {
        return refuse(commandLine, splitError);
    }
    if (words->isEmpty()) {
        return refuse(commandLine,
                      QCoreApplication::translate("ExternalProgramRunner",
                                                  "the command line names no program"));
    }

    QProcess process;
    process.setProgram(words->first());
    process.setArguments(words->mid(1));
    // Output goes where ours goes rather than piling up unread in memory; a program that reads
    // its input finds it empty instead of waiting for ever for us to write.
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start();
    if (!process.waitForStarted() && process.state() == QProcess::NotRunning) {
        return refuse(commandLine, startFailure(words->first(), process));
    }

    // The check asks the process itself rather than waiting for Qt's notice of its end, which
    // arrives only through an event loop that a pump may not run.
    const auto hasEnded = [&process] {
        return process.state() == QProcess::NotRunning || process.waitForFinished(0);
    };
    while (!hasEnded()) {
        m_pump.waitWithEvents(kPollPeriod);
    }

    RunResult result;
    result.started = true;
    if (process.exitStatus() == QProcess::NormalExit) {
        result.exitCode = process.exitCode();
    } else {
        result.exitCode = -1;
        result.error = QCoreApplication::translate(
            "ExternalProgramRunner", "the program did not end normally (it crashed or was "
                                     "killed)");
    }
    return result;
}

RunResult ExternalProgramRunner::refuse(const QString& commandLine, const QString& reason)
{
    m_dialogs.showError(
        QCoreApplication::translate("ExternalProgramRunner",
                                    "The external program could not be started:\n%1\n\nReason: %2.")
            .arg(commandLine, reason));
    RunResult result;
    result.error = reason;
    return result;
}
