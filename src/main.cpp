#include "common/qteventpump.h"
#include "config/inisettingsstore.h"
#include "config/localesource.h"
#include "link/vorlaklibrary.h"
#include "output/keystrokesink.h"
#include "shell/commandline.h"
#include "shell/form1.h"
#include "shell/programcore.h"
#include "shell/qtuserdialogs.h"

#include <QApplication>
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

} // namespace

int main(int argc, char** argv)
{
    // --help and --version answer before Qt starts, so they need no display.
    const CommandLineAnswer answer = answerCommandLine(argc, argv);
    if (!answer.startProgram) {
        std::fputs(answer.standardOutput.c_str(), stdout);
        std::fputs(answer.errorOutput.c_str(), stderr);
        return answer.exitStatus;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kolbrin"));
    // Names packaging/kolbrin.desktop, so a Wayland session shows the menu entry's icon.
    QApplication::setDesktopFileName(QStringLiteral("kolbrin"));

    QtUserDialogs dialogs;
    IniSettingsStore store(IniSettingsStore::defaultFilePath(), &dialogs);
    SystemLocaleSource locale;
    VorlakLibrary library(dialogs);
    QtEventPump pump;
    const std::unique_ptr<KeystrokeSink> keys = platformKeystrokeSink();

    Form1 window(ProgramPlatform{store, dialogs, library, pump, *keys, locale});
    dialogs.setParentWindow(&window);
    window.show();
    window.Form_Load();
    return QApplication::exec();
}
