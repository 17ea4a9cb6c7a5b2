// The configuration dialog's "Auto detect" buttons through the real libvorlak against a real
// qel-sim on port 3.
#include "common/documentview.h"
#include "config/form2.h"
#include "config/form2host.h"
#include "config/localesource.h"
#include "config/memorysettingsstore.h"
#include "fakewindow.h"
#include "link/vorlaklibrary.h"
#include "output/keystrokesink.h"
#include "recordingdialogs.h"
#include "shell/programcore.h"
#include "simterminal.h"
#include "tempdir.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <memory>

namespace {

constexpr int kSimPort = 3;

const char kTerminal[] = R"({"id": "T3",
 "body_template": "[Code][XXXXXXXXXXXXX][Qty][XXXXX]",
 "documents": []})";

class Form2EndToEndTest : public TempDirTest
{
protected:
    /// qel-sim on port 3; every other port of 1 to 16 mapped to a device that does not exist,
    /// so that no serial port of the machine is touched.
    void startSim(const QStringList& options = {})
    {
        sim = std::make_unique<SimTerminal>(path(), kSimPort);
        QString error;
        ASSERT_TRUE(sim->start(kTerminal, options, &error)) << error.toStdString();
        QFile map(path(QStringLiteral("config/vorlak/ports.conf")));
        ASSERT_TRUE(map.open(QIODevice::Append));
        for (int port = 1; port <= 16; ++port) {
            if (port != kSimPort) {
                map.write(QStringLiteral("COM%1=%2\n")
                              .arg(port)
                              .arg(path(QStringLiteral("absent%1").arg(port)))
                              .toUtf8());
            }
        }
    }
    void TearDown() override
    {
        host.reset();
        core.session.receivingdata_end();
    }
    void put(const char* key, const char* value)
    {
        ASSERT_TRUE(store.write(QString::fromLatin1(key), QString::fromLatin1(value)));
    }
    /// Start-up: the settings load (which creates the dialog) and the reading session.
    void startUp()
    {
        core.config.ReadConf(core.state.settings);
        core.session.receivingdata_ini();
        host->showGeneralConf();
    }
    template <typename Widget>
    Widget* control(const char* name)
    {
        return host->form()->findChild<Widget*>(QString::fromLatin1(name));
    }
    void click(const char* name) { control<QPushButton>(name)->click(); }

    std::unique_ptr<SimTerminal> sim;
    MemorySettingsStore store;
    SystemLocaleSource locale{QLocale(QLocale::English, QLocale::UnitedStates)};
    RecordingDialogs dialogs;
    VorlakLibrary library{dialogs, {QString::fromLocal8Bit(qgetenv("KOLBRIN_BIN_DIR")), {}, false}};
    FakeWindowControls window;
    CountingEventPump pump;
    MemoryDocumentView view;
    RecordingKeystrokeSink keys;
    ProgramCore core{{store, dialogs, library, window, view, pump, keys, locale}};
    std::unique_ptr<Form2Host> host = std::make_unique<Form2Host>(
        ConfigurationContext{store, dialogs, library, pump, core.state, core.language, core.config,
                             core.session, core.modem},
        nullptr);
};

} // namespace

TEST_F(Form2EndToEndTest, DetectionFindsTheTerminalOnPortThreeAndReadsThere)
{
    startSim();
    put("Language", "English");
    put("ComPort", "Com1");
    core.config.ReadConf(core.state.settings);
    host->showGeneralConf();

    click("Command5");
    EXPECT_EQ(control<QComboBox>("ComPort")->currentText(), QStringLiteral("Com3"));
    EXPECT_EQ(core.state.settings.ComPortNumber, 3);
    EXPECT_TRUE(core.state.PortOpen);
    EXPECT_EQ(window.panel2, QStringLiteral("Port Open ( 3)"));
    EXPECT_EQ(sim->eventCount(QStringLiteral("I_CheckTerminal")), 1);
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.messages().join(u'|').toStdString();

    // The session found is the one the program reads on.
    click("Command6");
    EXPECT_EQ(control<QLineEdit>("BoxAsciiDataFormat")->text(),
              QStringLiteral("[Code][XXXXXXXXXXXXX][Qty][XXXXX]"));
    click("Command2");
    EXPECT_EQ(store.value(QStringLiteral("ComPort")), QStringLiteral("Com3"));
    EXPECT_EQ(store.value(QStringLiteral("AsciiDataFormat")),
              QStringLiteral("[Code][XXXXXXXXXXXXX][Qty][XXXXX]"));
}

TEST_F(Form2EndToEndTest, DetectionWithoutAnswerReturnsToThePortFromBefore)
{
    startSim({QStringLiteral("--removed")});
    put("Language", "English");
    put("ComPort", "Com3");
    startUp();
    ASSERT_TRUE(core.state.PortOpen);

    click("Command5");
    EXPECT_EQ(control<QComboBox>("ComPort")->currentText(), QStringLiteral("Com3"));
    EXPECT_EQ(core.state.settings.ComPortNumber, 3);
    EXPECT_TRUE(core.state.PortOpen);
    EXPECT_TRUE(window.timerOn);
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_TRUE(dialogs.messages().front().startsWith(
        QStringLiteral("No terminal answered on ports 1 to 16.")));

    // The reopened session serves: a terminal placed now is seen.
    ASSERT_TRUE(sim->process().command("place"));
    QByteArray id(8, ' ');
    EXPECT_NE(library.I_CheckTerminal(id), 0);
}

TEST_F(Form2EndToEndTest, ImportsTheTemplatesOfTheTerminalInTheCradle)
{
    startSim();
    put("Language", "English");
    put("ComPort", "Com3");
    startUp();
    auto* body = control<QLineEdit>("BoxAsciiDataFormat");
    auto* header = control<QLineEdit>("BoxAsciiDataFormat2");
    header->setText(QStringLiteral("[Old]"));

    click("Command6");
    click("Command7");
    EXPECT_EQ(body->text(), QStringLiteral("[Code][XXXXXXXXXXXXX][Qty][XXXXX]"));
    EXPECT_EQ(header->text(), QString()) << "the terminal carries no header template";
    EXPECT_EQ(core.state.TerminalId, QByteArray("T3      "));

    // Lifted off the cradle: the boxes keep what they hold, and nothing is said.
    ASSERT_TRUE(sim->process().command("remove"));
    body->setText(QStringLiteral("[Mine]"));
    click("Command6");
    EXPECT_EQ(body->text(), QStringLiteral("[Mine]"));
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.messages().join(u'|').toStdString();
    EXPECT_EQ(store.value(QStringLiteral("AsciiDataFormat")), std::nullopt);
}
