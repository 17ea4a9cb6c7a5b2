#pragma once

#include "common/memorysettingsstore.h"
#include "fakecommlibrary.h"
#include "programcoreparts.h"

#include <gtest/gtest.h>

/// A store in memory that logs each write into the library's call list, so that tests see the
/// writes in order with the library calls; it can refuse writes as a full disk would.
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

/// The program's logic on recording parts: library calls, store writes and the event points
/// ("events") land in one list.
class ConfigurationTest : public ::testing::Test, public MemoryProgramParts
{
protected:
    ConfigurationTest()
    {
        pump.onEvents = [this] { library.calls.append(QStringLiteral("events")); };
    }
    /// Stores "Key=Value;Key=Value" without logging.
    void put(const char* entries)
    {
        for (const QString& entry : QString::fromUtf8(entries).split(u';', Qt::SkipEmptyParts)) {
            const qsizetype equals = entry.indexOf(u'=');
            ASSERT_TRUE(
                store.MemorySettingsStore::write(entry.left(equals), entry.mid(equals + 1)));
        }
    }
    [[nodiscard]] QString calls() const { return library.calls.join(u','); }
    /// The reading session open on `port`, as after start-up, with the call list cleared.
    void sessionOpenOn(int port)
    {
        core.state.settings.ComPortNumber = port;
        core.state.settings.BaudRate9600 = kBaudRate9600;
        core.state.PortOpen = true;
        window.timerOn = true;
        library.calls.clear();
    }
    FakeCommLibrary library;
    LoggingStore store{library.calls};
    ProgramCore core{platform(store, library), windowParts()};
};

template <typename Case>
std::string caseName(const ::testing::TestParamInfo<Case>& info)
{
    return info.param.name;
}
