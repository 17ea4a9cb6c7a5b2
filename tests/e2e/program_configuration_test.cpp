// The configuration dialog's "Auto detect" buttons through the real libvorlak against a real
// qel-sim on port 3.
#include "common/documentview.h"
#include "common/memorysettingsstore.h"
#include "config/form2.h"
#include "config/form2host.h"
#include "config/localesource.h"
#include "fakewindow.h"
#include "link/vorlaklibrary.h"
#include "output/keystrokesink.h"
#include "reallibrarycore.h"
#include "recordingdialogs.h"
#include "shell/programcore.h"
#include "simterminal.h"
#include "tempdir.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <memory>

namespace {

constexpr int kSimPort = 3;
const QString kBody = QStringLiteral("[Code][XXXXXXXXXXXXX][Qty][XXXXX]");

class Form2EndToEndTest : public TempDirTest, protected RealLibraryCore
{
protected:
    /// qel-sim on port 3 and the dialog shown. Every other port of 1 to 16 is mapped to a
    /// device that does not exist, so that no serial port of the machine is touched.
    void startUp(const char* comPort, const QStringList& simOptions)
    {
        sim = std::make_unique<SimTerminal>(path(), kSimPort);
        QString error;
        const QByteArray terminal = R"({"id": "T3", "body_template": ")" + kBody.toLatin1() + "\"}";
        ASSERT_TRUE(sim->start(terminal, simOptions, &error)) << error.toStdString();
        QFile map(path(QStringLiteral("config/vorlak/ports.conf")));
        ASSERT_TRUE(map.open(QIODevice::Append));
        for (int port = 1; port <= 16; ++port) {
            if (port != kSimPort) {
                map.write(QStringLiteral("COM%1=%2/absent\n").arg(port).arg(path()).toUtf8());
            }
        }
        map.close();
        ASSERT_TRUE(store.write(QStringLiteral("Language"), QStringLiteral("English")));
        ASSERT_TRUE(store.write(QStringLiteral("ComPort"), QString::fromLatin1(comPort)));
        core.config.loadSettings(core.state.settings);
        core.session.startReceiving();
        dialogs.shown.clear();
        host->showGeneralConf();
    }
    void TearDown() override
    {
        host.reset();
        core.session.stopReceiving();
    }
    template <typename Widget>
    Widget* control(const char* name)
    {
        return host->form()->findChild<Widget*>(QString::fromLatin1(name));
    }
    void click(const char* name) { control<QPushButton>(name)->click(); }

    std::unique_ptr<SimTerminal> sim;
    std::unique_ptr<Form2Host> host =
        std::make_unique<Form2Host>(core.configuration, core.language, nullptr);
};

} // namespace

TEST_F(Form2EndToEndTest, DetectionFindsTheTerminalOnPortThreeAndTheTemplatesComeFromIt)
{
    startUp("Com1", {}); // port 1 does not open: the program starts without a session
    // The port being tried is shown while detection lets events run.
    QStringList trying;
    pump.onEvents = [&] {
        auto* label = control<QLabel>("DetectingPort");
        if (label->isVisibleTo(host->form()) && !trying.contains(label->text())) {
            trying.append(label->text());
        }
    };
    click("Command5");
    pump.onEvents = nullptr;
    EXPECT_EQ(trying,
              (QStringList{QStringLiteral("Trying Com1..."), QStringLiteral("Trying Com2..."),
                           QStringLiteral("Trying Com3...")}));
    EXPECT_FALSE(control<QLabel>("DetectingPort")->isVisibleTo(host->form()));
    EXPECT_EQ(control<QComboBox>("ComPort")->currentText(), QStringLiteral("Com3"));
    EXPECT_EQ(core.state.settings.ComPortNumber, 3);
    EXPECT_EQ(window.panel2, QStringLiteral("Port Open ( 3)"));
    EXPECT_TRUE(window.timerOn);
    EXPECT_EQ(sim->eventCount(QStringLiteral("I_CheckTerminal")), 1);
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.messages().join(u'|').toStdString();

    // The imports run on the session that detection opened.
    auto* body = control<QLineEdit>("BoxAsciiDataFormat");
    auto* header = control<QLineEdit>("BoxAsciiDataFormat2");
    header->setText(QStringLiteral("[Old]"));
    click("Command6");
    click("Command7");
    EXPECT_EQ(body->text(), kBody);
    EXPECT_EQ(header->text(), QString()) << "the terminal carries no header template";
    EXPECT_EQ(core.state.TerminalId, QByteArray("T3      "));

    click("Command2");
    EXPECT_EQ(store.value(QStringLiteral("ComPort")), QStringLiteral("Com3"));
    EXPECT_EQ(store.value(QStringLiteral("AsciiDataFormat")), kBody);
}

TEST_F(Form2EndToEndTest, DetectionWithoutAnswerReturnsToThePortFromBefore)
{
    startUp("Com3", {QStringLiteral("--removed")});
    ASSERT_TRUE(core.state.PortOpen);
    click("Command5"); // port 3 opens, but no terminal answers in 8 seconds
    EXPECT_EQ(control<QComboBox>("ComPort")->currentText(), QStringLiteral("Com3"));
    EXPECT_EQ(core.state.settings.ComPortNumber, 3);
    EXPECT_TRUE(core.state.PortOpen && window.timerOn);
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_TRUE(dialogs.messages().front().startsWith(
        QStringLiteral("No terminal answered on ports 1 to 16.")));

    // The reopened session serves: a terminal placed now is seen.
    ASSERT_TRUE(sim->process().command("place"));
    EXPECT_TRUE(SimTerminal::answersCheck(library));
}

TEST_F(Form2EndToEndTest, OkWithAnotherPortMovesTheSessionAndSaysWhatIsReallyOpen)
{
    startUp("Com3", {QStringLiteral("--removed")});
    ASSERT_TRUE(core.state.PortOpen);
    // Port 1 names a device that does not exist.
    control<QComboBox>("ComPort")->setCurrentText(QStringLiteral("Com1"));
    click("Command2");
    EXPECT_EQ(store.value(QStringLiteral("ComPort")), QStringLiteral("Com1"));
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_TRUE(dialogs.messages().front().startsWith(
        QStringLiteral("Error opening serial port : 1\n\nThe device %1/absent does not exist.")
            .arg(path())))
        << dialogs.messages().front().toStdString();
    EXPECT_EQ(window.panel2, QStringLiteral("No port open: Com1 could not be opened"));
    EXPECT_FALSE(core.state.PortOpen);
    // Port 3 was let go: it opens again, here for raw bytes, and is closed again.
    EXPECT_GT(library.IO_Open(kSimPort, 9600), 0);
    library.IO_Close(kSimPort);

    dialogs.shown.clear();
    host->showGeneralConf();
    control<QComboBox>("ComPort")->setCurrentText(QStringLiteral("Com3"));
    click("Command2");
    EXPECT_TRUE(dialogs.shown.isEmpty()) << dialogs.messages().join(u'|').toStdString();
    EXPECT_EQ(window.panel2, QStringLiteral("Port Open ( 3)"));
    EXPECT_TRUE(core.state.PortOpen && window.timerOn);
    ASSERT_TRUE(sim->process().command("place"));
    EXPECT_TRUE(SimTerminal::answersCheck(library));
}
