#include "acquisition/modemanswer.h"
#include "acquisition/readingsession.h"
#include "common/appstate.h"
#include "i18n/uilanguage.h"
#include "programcoreparts.h"

#include <gtest/gtest.h>

namespace {

class ModemAnswerTest : public ::testing::Test, public FakeProgramCore
{
protected:
    void SetUp() override
    {
        language.applyLanguage(QStringLiteral("English"));
        state.settings.ComPortNumber = 2;
        state.settings.BaudRate9600 = 9600;
        state.settings.AutoAnswer = true;
    }

    // The parts under test, as the program wires them.
    AppState& state = core.state;
    UiLanguage& language = core.language;
    ReadingSession& session = core.session;
    ModemAnswer& modem = core.modem;
};

} // namespace

TEST_F(ModemAnswerTest, ArmingRaisesDtrThenSendsTheThirteenBytes)
{
    state.ModemConnected = true;
    modem.waitForCall();
    EXPECT_EQ(library.calls, (QStringList{QStringLiteral("IO_Open 2 9600"),
                                          QStringLiteral("IO_dtr_control_enable 2"),
                                          QStringLiteral("IO_Write 2 13")}));
    EXPECT_EQ(library.written, QByteArray("AT &D2 S0=1\r\n"));
    EXPECT_EQ(window.panel2, QStringLiteral("Port Open ( 2)"));
    EXPECT_TRUE(state.PortOpen);
    EXPECT_FALSE(state.ModemConnected);
    EXPECT_TRUE(window.timerOn);
}

TEST_F(ModemAnswerTest, APortThatCannotBeOpenedIsReportedOnceThenArmedQuietlyWhenItOpens)
{
    for (std::int32_t failure : {-1, 0}) {
        RecordingDialogs shown;
        FakeCommLibrary lib;
        lib.script(QStringLiteral("IO_Open"), {failure, failure, 1});
        ModemAnswer m{lib, state, window, pump, shown, language, session};
        window.panel2 = QStringLiteral("old");
        m.waitForCall();
        EXPECT_EQ(shown.messages(), QStringList{QStringLiteral("Error opening serial port : 2")});
        EXPECT_TRUE(lib.written.isEmpty());
        EXPECT_FALSE(state.PortOpen);
        EXPECT_EQ(window.panel2, QStringLiteral("No port open: Com2 could not be opened"));
        EXPECT_TRUE(window.timerOn);
        // The ticks: still missing, then there; no second message.
        EXPECT_FALSE(m.rearmLostPort());
        EXPECT_TRUE(m.rearmLostPort());
        EXPECT_EQ(lib.written, QByteArray("AT &D2 S0=1\r\n"));
        EXPECT_TRUE(state.PortOpen);
        EXPECT_FALSE(state.PortLost);
        EXPECT_EQ(window.panel2, QStringLiteral("Port Open ( 2)"));
        EXPECT_EQ(shown.messages().size(), 1);
    }
}

TEST_F(ModemAnswerTest, AModemWhoseDeviceHasGoneIsClosedAndSaidToBeDisconnected)
{
    modem.waitForCall();
    EXPECT_FALSE(modem.closeIfPortLost()) << "still there";
    library.deviceLost = true;
    state.ModemConnected = true;
    EXPECT_FALSE(modem.closeIfPortLost()) << "a call is up: the session notices";
    state.ModemConnected = false;
    library.calls.clear();
    EXPECT_TRUE(modem.closeIfPortLost());
    EXPECT_EQ(library.calls, QStringList{QStringLiteral("IO_Close 2")});
    EXPECT_FALSE(state.PortOpen);
    EXPECT_TRUE(state.PortLost);
    EXPECT_EQ(window.panel2,
              QStringLiteral("Cradle disconnected from Com2, waiting for it to return"));
    // Closing the program then touches no port.
    library.calls.clear();
    modem.restoreAtClose();
    EXPECT_TRUE(library.calls.isEmpty());
}

TEST_F(ModemAnswerTest, ClosingWhileArmedSendsTheNineBytesAndClosesThePort)
{
    modem.waitForCall();
    library.calls.clear();
    library.written.clear();
    modem.restoreAtClose();
    EXPECT_EQ(library.calls,
              (QStringList{QStringLiteral("IO_Write 2 9"), QStringLiteral("IO_Close 2")}));
    EXPECT_EQ(library.written, QByteArray("AT S0=0\r\n"));
    EXPECT_EQ(pump.waitCalls, 0);
}

TEST_F(ModemAnswerTest, ClosingDuringACallWaitsFiveSecondsAndDropsDtrBeforeClosing)
{
    state.ModemConnected = true;
    state.PortOpen = true;
    pump.onEvents = [&] { library.calls.append(QStringLiteral("events")); };
    modem.restoreAtClose();
    EXPECT_EQ(
        library.calls,
        (QStringList{QStringLiteral("events"), QStringLiteral("I_CloseCom 2"),
                     QStringLiteral("events"), QStringLiteral("IO_Open 2 9600"),
                     QStringLiteral("IO_Write 2 9"), QStringLiteral("IO_dtr_control_disable 2"),
                     QStringLiteral("IO_Close 2")}));
    EXPECT_EQ(pump.waited, std::chrono::milliseconds(5000));
}

TEST_F(ModemAnswerTest, AnotherPortDuringACallHangsUpTheOldOneAndArmsTheNewOne)
{
    state.ModemConnected = true;
    state.PortOpen = true;
    state.settings.ComPortNumber = 5;
    modem.switchPort(2);
    EXPECT_EQ(
        library.calls,
        (QStringList{QStringLiteral("I_CloseCom 2"), QStringLiteral("IO_Open 2 9600"),
                     QStringLiteral("IO_Write 2 9"), QStringLiteral("IO_dtr_control_disable 2"),
                     QStringLiteral("IO_Close 2"), QStringLiteral("IO_Open 5 9600"),
                     QStringLiteral("IO_dtr_control_enable 5"), QStringLiteral("IO_Write 5 13")}));
    EXPECT_FALSE(state.ModemConnected);
    EXPECT_EQ(window.panel2, QStringLiteral("Port Open ( 5)"));
}

TEST_F(ModemAnswerTest, HangingUpClosesTheSessionWaitsAndArmsAgain)
{
    state.ModemConnected = true;
    state.PortOpen = true;
    modem.hangUpAndRearm();
    EXPECT_EQ(
        library.calls,
        (QStringList{QStringLiteral("IO_dtr_control_enable 2"), QStringLiteral("I_CloseCom 2"),
                     QStringLiteral("IO_Open 2 9600"), QStringLiteral("IO_dtr_control_enable 2"),
                     QStringLiteral("IO_Write 2 13")}));
    EXPECT_EQ(pump.waited, std::chrono::milliseconds(5000));
    EXPECT_FALSE(state.ModemConnected);
    EXPECT_TRUE(window.timerOn);
}
