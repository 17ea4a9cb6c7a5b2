#include "acquisition/readingsession.h"
#include "common/appstate.h"
#include "i18n/uilanguage.h"
#include "programcoreparts.h"
#include "tempdir.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

class ReadingSessionTest : public ::testing::Test, public FakeProgramCore
{
protected:
    void SetUp() override
    {
        language.applyLanguage(QStringLiteral("English"));
        state.settings.BaudRate9600 = 9600;
    }

    // The part under test, as the program wires it.
    AppState& state = core.state;
    UiLanguage& language = core.language;
    ReadingSession& session = core.session;
};

} // namespace

TEST_F(ReadingSessionTest, OpeningShowsThePortAndStartsTheTimer)
{
    state.settings.ComPortNumber = 3;
    session.startReceiving();
    EXPECT_EQ(library.calls, QStringList{QStringLiteral("I_OpenCom 3 9600")});
    EXPECT_EQ(window.panel2, QStringLiteral("Port Open ( 3)"));
    EXPECT_TRUE(state.PortOpen);
    EXPECT_TRUE(window.timerOn);
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(ReadingSessionTest, AFailedOpenNamesThePortInTheCurrentLanguageThenKeepsTryingQuietly)
{
    state.settings.ComPortNumber = 2;
    window.panel2 = QStringLiteral("old");
    library.script(QStringLiteral("I_OpenCom"), {-1, -1});
    session.startReceiving();
    EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral("Error opening serial port : 2")});
    EXPECT_FALSE(state.PortOpen);
    EXPECT_EQ(window.panel2, QStringLiteral("No port open: Com2 could not be opened"));
    EXPECT_TRUE(window.timerOn);

    language.applyLanguage(QStringLiteral("Spanish"));
    library.openError = CommLibrary::OpenError{
        CommLibrary::OpenError::Kind::PermissionDenied,
        QStringLiteral("permission denied on /dev/ttyUSB0: add the user to the dialout group")};
    session.startReceiving();
    EXPECT_EQ(dialogs.messages().last(),
              QStringLiteral("Error al abrir el puerto serie : 2\n\nPermiso denegado en "
                             "/dev/ttyUSB0. Añada su usuario al grupo dialout y vuelva a iniciar "
                             "la sesión."));
    EXPECT_EQ(dialogs.shown.last().icon, MessageIcon::Critical);

    // The cradle plugged in later: a tick opens it without a word.
    library.script(QStringLiteral("I_OpenCom"), {0});
    EXPECT_TRUE(session.reopenLostPort());
    EXPECT_TRUE(state.PortOpen);
    EXPECT_EQ(dialogs.messages().size(), 2);
}

TEST_F(ReadingSessionTest, ClosingStopsTheTimerLetsQueuedEventsRunThenClosesThePort)
{
    state.settings.ComPortNumber = 1;
    session.startReceiving();
    bool timerWasOffWhenEventsRan = false;
    pump.onEvents = [&] {
        timerWasOffWhenEventsRan = !window.timerOn;
        library.calls.append(QStringLiteral("events"));
    };
    session.stopReceiving();
    EXPECT_TRUE(timerWasOffWhenEventsRan);
    EXPECT_EQ(library.calls,
              (QStringList{QStringLiteral("I_OpenCom 1 9600"), QStringLiteral("events"),
                           QStringLiteral("I_CloseCom 1")}));
    EXPECT_EQ(window.panel2, QStringLiteral("Port Open ( 1)")); // the panel is left as it is
}

TEST_F(ReadingSessionTest, ClosingASessionThatIsNotOpenDoesNothing)
{
    state.settings.ComPortNumber = 1;
    window.timerOn = true;
    session.stopReceiving(); // PortOpen false
    state.PortOpen = true;
    state.settings.ComPortNumber = 0;
    session.stopReceiving(); // port 0
    EXPECT_TRUE(library.calls.isEmpty());
    EXPECT_EQ(window.timerChanges, 0);
    EXPECT_EQ(pump.processCalls, 0);
}

TEST_F(ReadingSessionTest, TicksCloseAPortWhoseDeviceHasGoneAndReopenItQuietlyWhenItIsBack)
{
    state.settings.ComPortNumber = 1;
    session.startReceiving();
    library.setDefault(QStringLiteral("I_CheckTerminal"), 0);
    library.calls.clear();
    core.cycle.tick();
    EXPECT_EQ(window.panel2, QStringLiteral("Port Open ( 1) OFF")); // still there, empty cradle

    library.deviceLost = true;
    core.cycle.tick();
    EXPECT_EQ(window.panel2,
              QStringLiteral("Cradle disconnected from Com1, waiting for it to return"));
    EXPECT_FALSE(state.PortOpen);
    EXPECT_TRUE(state.PortLost);
    EXPECT_TRUE(window.timerOn);

    // Not back yet: each tick tries once, and says nothing.
    library.script(QStringLiteral("I_OpenCom"), {-1, -1});
    core.cycle.tick();
    core.cycle.tick();
    EXPECT_EQ(window.panel2,
              QStringLiteral("Cradle disconnected from Com1, waiting for it to return"));
    library.deviceLost = false;
    core.cycle.tick();
    EXPECT_EQ(
        library.calls,
        (QStringList{QStringLiteral("I_CheckTerminal"), QStringLiteral("I_CheckTerminal"),
                     QStringLiteral("I_CloseCom 1"), QStringLiteral("I_OpenCom 1 9600"),
                     QStringLiteral("I_OpenCom 1 9600"), QStringLiteral("I_OpenCom 1 9600")}));
    EXPECT_TRUE(state.PortOpen);
    EXPECT_FALSE(state.PortLost);
    EXPECT_EQ(window.panel2, QStringLiteral("Port Open ( 1)"));
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(ReadingSessionTest, ADeviceFileThatVanishesCountsAsGoneAndOnlyThatDeviceIsReopened)
{
    QTemporaryDir dir;
    const QString device = dir.filePath(QStringLiteral("ttyUSB0"));
    QString located = device;
    session.setDeviceLocator([&](int) { return located; });
    ASSERT_TRUE(QFile(device).open(QIODevice::WriteOnly));
    state.settings.ComPortNumber = 1;
    session.startReceiving();
    EXPECT_FALSE(session.closeIfDeviceGone());
    ASSERT_TRUE(QFile::remove(device));
    EXPECT_TRUE(session.closeIfDeviceGone()); // the library could not tell
    // While unplugged the number leads elsewhere (a built-in port): that is not the cradle.
    located = dir.filePath(QStringLiteral("ttyS0"));
    library.calls.clear();
    EXPECT_FALSE(session.reopenLostPort());
    EXPECT_TRUE(library.calls.isEmpty());
    located = device;
    EXPECT_TRUE(session.reopenLostPort());
    EXPECT_EQ(library.calls, QStringList{QStringLiteral("I_OpenCom 1 9600")});
}

TEST_F(ReadingSessionTest, SwitchingToAPortThatCannotBeOpenedSaysNoneIsOpenUntilStopped)
{
    state.settings.ComPortNumber = 5;
    session.startReceiving();
    library.calls.clear();
    library.script(QStringLiteral("I_OpenCom"), {-1});
    state.settings.ComPortNumber = 6;
    session.switchPort(5);
    EXPECT_EQ(library.calls,
              (QStringList{QStringLiteral("I_CloseCom 5"), QStringLiteral("I_OpenCom 6 9600"),
                           QStringLiteral("VORLAK_LastOpenError")}));
    EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral("Error opening serial port : 6")});
    EXPECT_EQ(window.panel2, QStringLiteral("No port open: Com6 could not be opened"));
    EXPECT_TRUE(state.PortLost && !state.PortOpen);
    // Stopping a session that waits for its port ends the wait: no tick opens it behind Auto
    // detect's back.
    session.stopReceiving();
    EXPECT_FALSE(state.PortLost);
    EXPECT_FALSE(window.timerOn);
}
