#include "common/qteventpump.h"
#include "common/settings.h"
#include "config/inisettingsstore.h"
#include "config/localesource.h"
#include "journal/journal.h"
#include "journal/sqlitejournal.h"
#include "link/linkthread.h"
#include "link/vorlaklibrary.h"
#include "output/keystrokesink.h"
#include "shell/commandline.h"
#include "shell/form1.h"
#include "shell/journalcommands.h"
#include "shell/journalfactory.h"
#include "shell/programcore.h"
#include "shell/qtuserdialogs.h"

#include <QApplication>
#include <QCoreApplication>
#include <cstdio>
#include <memory>

namespace {

std::unique_ptr<KeystrokeSink> platformKeystrokeSink()
{
#if defined(Q_OS_WIN)
    return std::make_unique<SendInputKeystrokeSink>();
#else
    return std::make_unique<X11KeystrokeSink>();
#endif
}

void print(const CommandLineAnswer& answer)
{
    std::fputs(answer.standardOutput.c_str(), stdout);
    std::fputs(answer.errorOutput.c_str(), stderr);
}

// --history and --export: opening the journal file needs a QCoreApplication (Qt SQL does), but
// nothing here shows a window, so no display is needed either.
int runJournalCommandLine(int argc, char** argv, const JournalRequest& request)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Kolbrin"));
    QString problem;
    const std::unique_ptr<Journal> journal = openDefaultJournal(&problem);
    if (!journal) {
        std::fputs((QStringLiteral("kolbrin: the journal could not be opened: ") + problem +
                    QLatin1Char('\n'))
                       .toLocal8Bit()
                       .constData(),
                   stderr);
        return CommandLineAnswer::kFailure;
    }
    const CommandLineAnswer answer = runJournalCommand(request, *journal);
    print(answer);
    return answer.exitStatus;
}

} // namespace

int main(int argc, char** argv)
{
    // --help and --version answer before Qt starts, so they need no display.
    const CommandLineAnswer answer = answerCommandLine(argc, argv);
    if (answer.journal) {
        return runJournalCommandLine(argc, argv, *answer.journal);
    }
    if (!answer.startProgram) {
        print(answer);
        return answer.exitStatus;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kolbrin"));
    // Names packaging/kolbrin.desktop, so a Wayland session shows the menu entry's icon.
    QApplication::setDesktopFileName(QStringLiteral("kolbrin"));

    QtUserDialogs dialogs;
    IniSettingsStore store(IniSettingsStore::defaultFilePath(), &dialogs);
    SystemLocaleSource locale;
    VorlakLibrary vorlak(dialogs);
    // Every library call runs on the link thread while the window stays alive. The library is
    // loaded here, on the window's thread, because a missing one is reported in a message box.
    LinkThread library(vorlak, [&vorlak] { vorlak.load(); });
    QtEventPump pump;
    const std::unique_ptr<KeystrokeSink> keys = platformKeystrokeSink();

    // A journal that cannot be opened fails every write: the first reading says so, and no
    // terminal is cleared while it lasts. With JournalDatabase set, it is copied to the site's
    // shared journal as well.
    const std::unique_ptr<Journal> journal = openJournal(
        SqliteJournal::defaultFilePath(),
        store.readSetting(SettingsKey::JournalDatabase, SettingsDefault::JournalDatabase));
    // The window's place, in the same file under [Window]; a failed write is not worth a message.
    IniSettingsStore windowStore(IniSettingsStore::defaultFilePath(), nullptr,
                                 QStringLiteral("Window"));
    ProgramPlatform platform{store, dialogs, library, pump, *keys, locale};
    platform.journal = journal.get();
    platform.windowStore = &windowStore;
    Form1 window(platform);
    dialogs.setParentWindow(&window);
    window.show();
    window.Form_Load();
    return QApplication::exec();
}
