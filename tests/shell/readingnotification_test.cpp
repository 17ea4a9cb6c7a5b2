// The notice at the end of a reading, the tray's state, and the tray's menu.
#include "common/appstate.h"
#include "shell/readingnotification.h"
#include "shell/trayicon.h"

#include <QAction>
#include <QMenu>
#include <gtest/gtest.h>

namespace {

JournalReading journaled(const char* result, const char* target = "/home/ana/out/shop.txt")
{
    JournalReading reading;
    reading.terminal = QStringLiteral("SHOP01");
    reading.documents = 3;
    reading.records = 1234;
    reading.result = QString::fromLatin1(result);
    reading.target = QString::fromUtf8(target);
    reading.message = QStringLiteral("the disk is full");
    return reading;
}

} // namespace

TEST(ReadingNotificationTest, SaysWhatWasReadAndWhereItWentOrWhyNot)
{
    struct Case
    {
        const char* name;
        bool dataReceived;
        bool journaledFlag;
        ReadingEnd end;
        std::optional<JournalReading> reading;
        const char* text;
        bool failure;
    };
    const Case cases[] = {
        {"delivered to a file", true, true, ReadingEnd::Complete, journaled("delivered"),
         "SHOP01: 3 documents, 1,234 records → shop.txt", false},
        {"typed", true, true, ReadingEnd::Complete, journaled("delivered", ""),
         "SHOP01: 3 documents, 1,234 records → typed as keystrokes", false},
        {"read into the window", true, true, ReadingEnd::Complete, journaled("read-only", ""),
         "SHOP01: 3 documents, 1,234 records → the window", false},
        {"duplicate", true, true, ReadingEnd::Complete, journaled("skipped-duplicate"),
         "SHOP01: the reading equals the last one delivered from this terminal, so it was not "
         "delivered again.",
         false},
        // A reading cut short is journaled, but never as the reading to deliver.
        {"cut short", true, false, ReadingEnd::Interrupted, std::nullopt,
         "SHOP01: the reading stopped after 3 documents; it was not delivered and the terminal "
         "keeps its data.",
         true},
        {"delivery failed", true, true, ReadingEnd::Complete, journaled("delivery-failed"),
         "SHOP01: 3 documents, 1,234 records could not be delivered: the disk is full", true},
        {"not journaled", true, false, ReadingEnd::Complete, std::nullopt,
         "SHOP01: the reading could not be written to the journal, so it was not delivered and "
         "the terminal keeps its data.",
         true},
        {"failed before data", false, false, ReadingEnd::Interrupted, std::nullopt,
         "SHOP01: the reading failed before any data arrived; the terminal keeps its data.", true},
        {"empty terminal", false, false, ReadingEnd::Complete, std::nullopt,
         "SHOP01: the terminal holds nothing to read.", false},
    };
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AppState state;
        state.TerminalId = QByteArrayLiteral("SHOP01  ");
        state.DataReceived = c.dataReceived;
        state.ReadingJournaled = c.journaledFlag;
        state.LastReading = c.end;
        state.DocumentsRead = 3;
        const ReadingNotice notice = readingNotice(state, c.reading);
        EXPECT_EQ(notice.text, QString::fromUtf8(c.text));
        EXPECT_EQ(notice.failure, c.failure);
        EXPECT_EQ(notice.title, QStringLiteral("SHOP01"));
    }
    QLocale::setDefault(before);
}

TEST(ReadingNotificationTest, TrayShowsPortTerminalAndReading)
{
    struct Case
    {
        bool portOpen;
        bool onCradle;
        bool reading;
        TrayState state;
        const char* toolTip;
    };
    const Case cases[] = {
        {false, false, false, TrayState::NoPort, "Kolbrin: the port is not open"},
        {true, false, false, TrayState::Waiting, "Kolbrin: waiting for a terminal in the cradle"},
        {true, true, false, TrayState::TerminalPresent, "Kolbrin: a terminal is in the cradle"},
        {true, true, true, TrayState::Reading, "Kolbrin: reading the terminal"},
        {false, false, true, TrayState::Reading, "Kolbrin: reading the terminal"},
    };
    AppState state;
    QStringList commands;
    TrayIcon tray(state, {[&] { commands.append(QStringLiteral("show")); },
                          [&] { commands.append(QStringLiteral("read")); },
                          [&] { commands.append(QStringLiteral("exit")); }});
    for (const Case& c : cases) {
        state.PortOpen = c.portOpen;
        state.TerminalOnCradle = c.onCradle;
        EXPECT_EQ(trayState(state, c.reading), c.state);
        tray.setReading(c.reading);
        EXPECT_EQ(tray.state(), c.state);
        EXPECT_EQ(tray.toolTip(), QString::fromLatin1(c.toolTip));
    }
    for (const char* name : {"TrayShow", "TrayReadData", "TrayExit"}) {
        auto* action = tray.menu()->findChild<QAction*>(QString::fromLatin1(name));
        ASSERT_NE(action, nullptr) << name;
        action->trigger();
    }
    EXPECT_EQ(commands.join(u' '), QStringLiteral("show read exit"));
}
