#include "acquisition/acquisitioncycle.h"
#include "acquisition/modemanswer.h"
#include "acquisition/readingsession.h"
#include "common/appstate.h"
#include "common/documentview.h"
#include "common/memorysettingsstore.h"
#include "fakecommlibrary.h"
#include "fakewindow.h"
#include "i18n/uilanguage.h"
#include "recordingdialogs.h"

#include <gtest/gtest.h>

namespace {

class AcquisitionCycleTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        language.applyLanguage(QStringLiteral("English"));
        Settings& s = state.settings;
        s.ComPortNumber = 1;
        s.BaudRate9600 = 9600;
        s.AutomaticMode = true;
        s.BodyTemplate = QStringLiteral("[Code]\r\n");
        s.MyFileName = QStringLiteral("/out/Demo.txt");
        library.identity = "T1";
    }

    AcquisitionCycle::Steps steps()
    {
        return {[this] {
                    log.append(QStringLiteral("read"));
                    view.setText(QStringLiteral("data"));
                    state.DataReceived = readGivesData;
                },
                [this] {
                    log.append(state.settings.InsertKeys ? QStringLiteral("keys")
                                                         : QStringLiteral("file"));
                }};
    }

    void tick() { cycle.tick(); }
    void terminalOnCradle(bool present)
    {
        library.setDefault(QStringLiteral("I_CheckTerminal"), present ? 1 : 0);
    }

    FakeCommLibrary library;
    AppState state;
    FakeWindowControls window;
    CountingEventPump pump;
    RecordingDialogs dialogs;
    UiLanguage language;
    MemorySettingsStore store;
    MemoryDocumentView view;
    ReadingSession session{library, state, window, pump, dialogs, language};
    ModemAnswer modem{library, state, window, pump, dialogs, language, session};
    QStringList log;
    bool readGivesData = true;
    AcquisitionCycle cycle{library, state, window, view, dialogs, language, store, modem, steps()};
};

} // namespace

TEST_F(AcquisitionCycleTest, ATerminalIsReadOncePerStayOnTheCradle)
{
    state.settings.AutoStart = 1;
    terminalOnCradle(false);
    tick();
    EXPECT_EQ(window.panel2, QStringLiteral("Port Open ( 1) OFF"));
    terminalOnCradle(true);
    tick();
    EXPECT_EQ(window.panel2, QStringLiteral("Port Open ( 1) ON"));
    EXPECT_EQ(log, (QStringList{QStringLiteral("read"), QStringLiteral("file")}));
    tick();
    tick();
    EXPECT_EQ(log.size(), 2);
    terminalOnCradle(false);
    tick();
    EXPECT_FALSE(state.TerminalOnCradle);
    terminalOnCradle(true);
    tick();
    EXPECT_EQ(log.size(), 4);
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(AcquisitionCycleTest, AnsweringNoToTheQuestionDeliversNothingUntilTheTerminalComesBack)
{
    terminalOnCradle(true);
    dialogs.yesNoAnswers = {false};
    tick();
    tick();
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown.front().text, QStringLiteral("Read data?"));
    EXPECT_EQ(dialogs.shown.front().title, QStringLiteral("Qel"));
    EXPECT_TRUE(log.isEmpty());
    EXPECT_TRUE(view.text().isEmpty());

    terminalOnCradle(false);
    tick();
    terminalOnCradle(true);
    dialogs.yesNoAnswers = {true};
    tick();
    EXPECT_EQ(log, (QStringList{QStringLiteral("read"), QStringLiteral("file")}));
}

TEST_F(AcquisitionCycleTest, ModesDecideWhetherToAct)
{
    struct Case
    {
        const char* name;
        bool automatic;
        bool keys;
        bool minimised;
        QStringList expected;
    };
    const Case cases[] = {
        {"manual", false, false, false, {}},
        {"keyboard, window shown", false, true, false, {}},
        {"keyboard, minimised",
         false,
         true,
         true,
         {QStringLiteral("read"), QStringLiteral("keys")}},
        {"automatic", true, false, false, {QStringLiteral("read"), QStringLiteral("file")}},
    };
    for (const Case& c : cases) {
        log.clear();
        state.TerminalOnCradle = false;
        state.settings.AutomaticMode = c.automatic;
        state.settings.ManualMode = !c.automatic && !c.keys;
        state.settings.InsertKeys = c.keys;
        state.settings.AutoStart = 1;
        window.minimised = c.minimised;
        terminalOnCradle(true);
        tick();
        EXPECT_EQ(log, c.expected) << c.name;
        EXPECT_EQ(window.panel2, QStringLiteral("Port Open ( 1) ON")) << c.name;
    }
    EXPECT_TRUE(dialogs.shown.isEmpty()); // keyboard mode never asks
}

TEST_F(AcquisitionCycleTest, NothingIsDeliveredWhenTheReadingBroughtNothing)
{
    state.settings.AutoStart = 1;
    readGivesData = false;
    terminalOnCradle(true);
    tick();
    EXPECT_EQ(log, QStringList{QStringLiteral("read")});
}

TEST_F(AcquisitionCycleTest, ManualModeRenamesTheFileAfterTheTerminal)
{
    state.settings.AutomaticMode = false;
    state.settings.ManualMode = true;
    state.settings.UseTerminalId = true;
    terminalOnCradle(true);
    tick();
    EXPECT_EQ(state.settings.MyFileName, QStringLiteral("/out/T1      .txt"));
    EXPECT_EQ(store.read(QStringLiteral("MyFilename"), {}), QStringLiteral("/out/T1      .txt"));
    EXPECT_TRUE(log.isEmpty());
}

TEST_F(AcquisitionCycleTest, AMissingBodyTemplateIsFetchedOnEveryTickBeforeTheArrivalWork)
{
    state.settings.BodyTemplate = QStringLiteral(" \r\n");
    state.settings.AutoStart = 1;
    library.script(QStringLiteral("I_ReadEntriesConfig"), {0});
    terminalOnCradle(true);
    tick(); // the terminal gives no template this time
    EXPECT_FALSE(store.value(QStringLiteral("AsciiDataFormat")).has_value());
    library.entriesTemplate = "  [Code][XXXX]  ";
    library.setDefault(QStringLiteral("I_ReadEntriesConfig"), 1);
    tick(); // the terminal is handled already, but the template is still fetched
    EXPECT_EQ(store.read(QStringLiteral("AsciiDataFormat"), {}), QStringLiteral("[Code][XXXX]"));
    EXPECT_EQ(state.settings.BodyTemplate, QStringLiteral("[Code][XXXX]\r\n"));
    const int fetches =
        static_cast<int>(library.calls.filter(QStringLiteral("I_ReadEntriesConfig")).size());
    tick();
    EXPECT_EQ(library.calls.filter(QStringLiteral("I_ReadEntriesConfig")).size(), fetches);
}

TEST_F(AcquisitionCycleTest, ModemConnectsWhenConnectArrivesAcrossTicks)
{
    state.settings.AutoAnswer = true;
    library.incoming = "RING\r\nCONN";
    tick();
    EXPECT_FALSE(state.ModemConnected);
    library.incoming += "ECT 9600\r\n";
    tick();
    EXPECT_TRUE(state.ModemConnected);
    EXPECT_TRUE(state.ModemText.isEmpty());
    EXPECT_TRUE(library.calls.contains(QStringLiteral("I_OpenComWithoutOpen 1 9600")));
    EXPECT_EQ(window.panel2, QStringLiteral("Port Open ( 1)"));
    EXPECT_TRUE(window.timerOn);
    // Connected: the cradle path runs over the call.
    library.calls.clear();
    tick();
    EXPECT_EQ(library.calls.first(), QStringLiteral("I_CheckTerminal"));
}

TEST_F(AcquisitionCycleTest, ACallTheLibraryCannotTakeOverIsHungUpNotReadAsOpen)
{
    state.settings.AutoAnswer = true;
    state.PortOpen = true;
    library.script(QStringLiteral("I_OpenComWithoutOpen"), {-1});
    library.incoming = "CONNECT 9600\r\n";
    tick();
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_TRUE(dialogs.messages().front().startsWith(language.MsgPortError()));
    EXPECT_FALSE(state.ModemConnected);
    // Hung up (DTR dropped), then armed again for the next call.
    EXPECT_TRUE(library.calls.contains(QStringLiteral("IO_dtr_control_enable 1")));
    EXPECT_EQ(library.written, QByteArray("AT &D2 S0=1\r\n"));
    EXPECT_TRUE(log.isEmpty());
}

TEST_F(AcquisitionCycleTest, AServedModemCallIsHungUpAndTheModemArmedAgain)
{
    state.settings.AutoAnswer = true;
    state.settings.AutoStart = 1;
    state.ModemConnected = true;
    state.PortOpen = true;
    terminalOnCradle(true);
    tick();
    EXPECT_EQ(log, (QStringList{QStringLiteral("read"), QStringLiteral("file")}));
    EXPECT_FALSE(state.ModemConnected);
    EXPECT_EQ(pump.waited, std::chrono::milliseconds(5000));
    EXPECT_EQ(library.written, QByteArray("AT &D2 S0=1\r\n"));
}

TEST_F(AcquisitionCycleTest, ATickNestedInTheDeliverySeesTheTerminalHandled)
{
    state.settings.AutoStart = 1;
    terminalOnCradle(true);
    int nestedReads = 0;
    AcquisitionCycle::Steps nestedSteps = steps();
    AcquisitionCycle* self = nullptr;
    nestedSteps.deliverReading = [&] {
        // While the external program runs, ticks go on: first with the terminal still there,
        // then lifted and put back, which reads it again.
        self->tick();
        terminalOnCradle(false);
        self->tick();
        terminalOnCradle(true);
        if (nestedReads++ == 0) {
            self->tick();
        }
    };
    AcquisitionCycle nested{library,  state, window, view,       dialogs,
                            language, store, modem,  nestedSteps};
    self = &nested;
    nested.tick();
    EXPECT_EQ(log.filter(QStringLiteral("read")).size(), 2);
}
