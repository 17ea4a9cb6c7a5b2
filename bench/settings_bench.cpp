// How long a settings load takes from a real INI file: it runs before every reading.
#include "benchmain.h"
#include "common/settings.h"
#include "common/userdialogs.h"
#include "config/configloader.h"
#include "config/inisettingsstore.h"
#include "config/localesource.h"
#include "i18n/uilanguage.h"
#include "silentdialogs.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

void settings_readconf_ini(benchmark::State& state)
{
    QTemporaryDir dir;
    SilentDialogs dialogs;
    IniSettingsStore store(dir.filePath(QStringLiteral("Kolbrin.ini")), &dialogs);
    for (const char* key : {"MyFileName", "AsciiDataFormat", "AsciiDataFormat2", "ComPort",
                            "AutomaticMode", "Language"}) {
        static_cast<void>(store.write(QString::fromLatin1(key), QStringLiteral("[Code],[Qty]")));
    }
    SystemLocaleSource locale(QLocale(QLocale::English, QLocale::UnitedStates));
    UiLanguage language;
    Settings settings;
    ConfigLoader loader(store, locale, language, dialogs);
    for (auto _ : state) {
        loader.loadSettings(settings);
        benchmark::DoNotOptimize(settings.ComPortNumber);
    }
}
BENCHMARK(settings_readconf_ini)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    return runBenchmarks(argc, argv, {{"settings_readconf_ini", "-"}});
}
