#include "acquisition/readingsession.h"
#include "common/appstate.h"
#include "i18n/uilanguage.h"
#include "programcoreparts.h"

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

TEST_F(ReadingSessionTest, AFailedOpenNamesThePortInTheCurrentLanguageAndLeavesTheTimer)
{
    state.settings.ComPortNumber = 2;
    window.panel2 = QStringLiteral("old");
    library.script(QStringLiteral("I_OpenCom"), {-1, -1});
    session.startReceiving();
    EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral("Error opening serial port : 2")});
    EXPECT_FALSE(state.PortOpen);
    EXPECT_TRUE(window.panel2.isEmpty());
    EXPECT_EQ(window.timerChanges, 0);

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
