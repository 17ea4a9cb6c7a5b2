#include "common/qteventpump.h"
#include "common/settings.h"
#include "config/inisettingsstore.h"
#include "config/localesource.h"
#include "i18n/translators.h"
#include "journal/journal.h"
#include "journal/sqlitejournal.h"
#include "link/linkthread.h"
#include "link/vorlaklibrary.h"
#include "output/keystrokesink.h"
#include "shell/commandline.h"
#include "shell/form1.h"
#include "shell/graphicalsession.h"
#include "shell/journalcommands.h"
#include "shell/journalfactory.h"
#include "shell/programcore.h"
#include "shell/qtuserdialogs.h"
#include "shell/singleinstance.h"

#include <QApplication>
#include <QCoreApplication>
#include <cstdio>
#include <functional>
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

// Started where no window can be shown (no display named, or one that does not answer): one
// line on standard error, in the user's language, instead of the abort of Qt's window system.
// A QCoreApplication needs no display, and it is all the translators need.
int refuseWithoutGraphicalSession(int argc, char** argv, const std::function<QString()>& text)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Kolbrin"));
    IniSettingsStore store(IniSettingsStore::defaultFilePath(), nullptr);
    const SystemLocaleSource locale;
    Translators translators;
    translators.apply(GraphicalSession::startLanguage(store, locale));
    std::fputs((text() + QLatin1Char('\n')).toLocal8Bit().constData(), stderr);
    return CommandLineAnswer::kFailure;
}

QString userName()
{
    QString name = qEnvironmentVariable("USER");
    if (name.isEmpty()) {
        name = qEnvironmentVariable("USERNAME");
    }
    return name.isEmpty() ? QStringLiteral("user") : name;
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

    if (!GraphicalSession::available()) {
        return refuseWithoutGraphicalSession(argc, argv, &GraphicalSession::missingText);
    }
    auto display = std::make_unique<GraphicalSession::DisplayProbe>();
    if (!display->answers()) {
        return refuseWithoutGraphicalSession(argc, argv, [] {
            return GraphicalSession::unreachableText(qEnvironmentVariable("DISPLAY"));
        });
    }

    QApplication app(argc, argv);
    display.reset(); // Qt's own connection keeps the server from resetting now
    QApplication::setApplicationName(QStringLiteral("Kolbrin"));
    // Names packaging/kolbrin.desktop, so a Wayland session shows the menu entry's icon.
    QApplication::setDesktopFileName(QStringLiteral("kolbrin"));

    QtUserDialogs dialogs;
    // One Kolbrin per user and settings file: a second start brings the first one's window to
    // the front and ends.
    SingleInstance instance(
        SingleInstance::defaultFolder(),
        SingleInstance::instanceKey(userName(), IniSettingsStore::defaultFilePath()));
    switch (instance.claim()) {
    case SingleInstance::Start::First:
        break;
    case SingleInstance::Start::Activated:
        return 0;
    case SingleInstance::Start::NoAnswer: {
        // Said before the window would load the language: the start-up language, as stored.
        IniSettingsStore startStore(IniSettingsStore::defaultFilePath(), nullptr);
        Translators translators;
        translators.apply(GraphicalSession::startLanguage(startStore, SystemLocaleSource()));
        dialogs.showWarning(QCoreApplication::translate(
                                "SingleInstance",
                                "Kolbrin is already running with the settings file %1, but it "
                                "does not answer. Close that Kolbrin, or wait until it answers, "
                                "and start Kolbrin again.")
                                .arg(IniSettingsStore::defaultFilePath()));
        return CommandLineAnswer::kFailure;
    }
    }
    // Later starts are answered from here on, so that one coming while this one still starts
    // does not wait for its window; the window shows in front anyway when it comes.
    Form1* frontWindow = nullptr;
    QString instanceProblem;
    if (!instance.listen(
            [&frontWindow] {
                if (frontWindow != nullptr) {
                    frontWindow->bringToFront();
                }
                qInfo("kolbrin: another start brought this window to the front");
            },
            &instanceProblem)) {
        qWarning("kolbrin: later starts cannot reach this one: %s", qPrintable(instanceProblem));
    }
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
    frontWindow = &window;
    dialogs.setParentWindow(&window);
    window.show();
    window.Form_Load();
    const int status = QApplication::exec();
    frontWindow = nullptr; // the window goes before the instance's socket
    return status;
}
