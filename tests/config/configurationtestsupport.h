#pragma once

#include "common/documentview.h"
#include "config/generalconfiguration.h"
#include "config/localesource.h"
#include "config/memorysettingsstore.h"
#include "fakecommlibrary.h"
#include "fakewindow.h"
#include "output/keystrokesink.h"
#include "recordingdialogs.h"
#include "shell/programcore.h"

#include <gtest/gtest.h>

/// A store in memory that logs each write into a shared list, so that tests see its order
/// against the library calls; it can be made to refuse writes, as a full disk would.
class LoggingStore : public MemorySettingsStore
{
public:
    explicit LoggingStore(QStringList& log)
        : m_log(log)
    {
    }
    bool write(const QString& key, const QString& value) override
    {
        m_log.append(QStringLiteral("write %1=%2").arg(key, value));
        return !refuse && MemorySettingsStore::write(key, value);
    }
    bool refuse = false;

private:
    QStringList& m_log;
};

/// The program's logic with recording parts: every library call and store write lands in
/// library.calls, and the event points as "events".
class ConfigurationTest : public ::testing::Test
{
protected:
    ConfigurationTest()
    {
        pump.onEvents = [this] { library.calls.append(QStringLiteral("events")); };
    }

    void put(const char* key, const char* value)
    {
        ASSERT_TRUE(
            store.MemorySettingsStore::write(QString::fromLatin1(key), QString::fromUtf8(value)));
    }
    [[nodiscard]] QString stored(const char* key)
    {
        return store.value(QString::fromLatin1(key)).value_or(QStringLiteral("<absent>"));
    }
    /// The session open on `port`, as after start-up, with the logs cleared.
    void sessionOpenOn(int port)
    {
        core.state.settings.ComPortNumber = port;
        core.state.settings.BaudRate9600 = kBaudRate9600;
        core.state.PortOpen = true;
        window.timerOn = true;
        library.calls.clear();
    }
    [[nodiscard]] ConfigurationContext context()
    {
        return {store,         dialogs,     library,      pump,      core.state,
                core.language, core.config, core.session, core.modem};
    }

    FakeCommLibrary library;
    LoggingStore store{library.calls};
    RecordingDialogs dialogs;
    FakeWindowControls window;
    CountingEventPump pump;
    MemoryDocumentView view;
    RecordingKeystrokeSink keys;
    SystemLocaleSource locale{QLocale(QLocale::English, QLocale::UnitedStates)};
    ProgramCore core{{store, dialogs, library, window, view, pump, keys, locale}};
};

/// Names each case of a parameterised test after its `name` field.
template <typename Case>
std::string caseName(const ::testing::TestParamInfo<Case>& info)
{
    return info.param.name;
}
