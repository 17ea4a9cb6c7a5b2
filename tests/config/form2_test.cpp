// The configuration dialog as the user meets it: real widgets, offscreen, on the program's
// logic with recording parts.
#include "config/form2.h"
#include "config/form2host.h"
#include "configurationtestsupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>

namespace {

class Form2Test : public ConfigurationTest
{
protected:
    /// The dialog as start-up leaves it: created hidden by the first settings load.
    Form2* created()
    {
        core.config.loadSettings(core.state.settings);
        library.calls.clear();
        return host.form();
    }
    template <typename Widget = QWidget>
    Widget* control(const char* name)
    {
        auto* widget = host.form()->findChild<Widget*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    /// The names among `names` (separated by spaces) whose button is checked or widget shown.
    QString checked(const char* names)
    {
        return filter(names,
                      [](QWidget* w) { return qobject_cast<QAbstractButton*>(w)->isChecked(); });
    }
    QString shown(const char* names)
    {
        return filter(names, [](QWidget* w) { return !w->isHidden(); });
    }
    QString filter(const char* names, bool (*keep)(QWidget*))
    {
        QStringList kept;
        for (const QString& name : QString::fromLatin1(names).split(u' ')) {
            if (keep(control(name.toLatin1().constData()))) {
                kept.append(name);
            }
        }
        return kept.join(u' ');
    }
    QLineEdit* box(const char* name) { return control<QLineEdit>(name); }
    QString comboText(const char* name) { return control<QComboBox>(name)->currentText(); }
    void click(const char* name) { control<QAbstractButton>(name)->click(); }
    QList<QPushButton*> specialKeys()
    {
        return control("SpecialKeys")->findChildren<QPushButton*>(QStringLiteral("Command8"));
    }

    /// Owns the dialogs as the main window does, so that discarded ones go with it.
    QWidget mainWindow;
    Form2Host host{core.configuration, core.language, &mainWindow};
};

const char kOptions[] =
    "AutomaticMode ManualMode InsertKeys IncrNumber NewFile AppendFile AutoStart "
    "AutoClear UseTermId AutoAnswer";

} // namespace

TEST_F(Form2Test, FirstSettingsLoadCreatesItHiddenWithTheEmptyStoresValues)
{
    Form2* form = created();
    ASSERT_NE(form, nullptr);
    EXPECT_FALSE(form->isVisible() || form->isModal());
    EXPECT_EQ(checked(kOptions), QStringLiteral("ManualMode NewFile"));
    EXPECT_EQ(shown("Frame2 SpecialKeys BaudRate Label5 Label4"), QStringLiteral("Label4"));
    EXPECT_EQ(box("MyFileName")->text(), QStringLiteral("Demo.txt"));
    EXPECT_EQ(box("BoxAsciiDataFormat")->text() + box("BoxAsciiDataFormat2")->text(), QString());
    EXPECT_EQ(comboText("ComPort"), QStringLiteral("Com1"));
    EXPECT_EQ(comboText("BaudRate"), QStringLiteral("19200"));
    EXPECT_EQ(comboText("Language"), QStringLiteral("English")); // the first run's choice
    EXPECT_EQ(form->windowTitle(), QStringLiteral("General Configurations"));
    EXPECT_EQ(control<QGroupBox>("Frame1")->title(), QStringLiteral("Working mode"));
    EXPECT_EQ(control<QPushButton>("Command7")->text(), QStringLiteral("Auto detect"));
    host.showGeneralConf();
    EXPECT_EQ(host.form(), form);
    EXPECT_TRUE(form->isVisible());
}

namespace {

struct OpenCase
{
    const char* name;
    const char* store;
    const char* checked; ///< of kOptions
    const char* frames;  ///< shown
};

class OpeningTest : public Form2Test, public ::testing::WithParamInterface<OpenCase>
{
};

const OpenCase kOpenCases[] = {
    {"KeyboardModeAsOkWritesIt", "AutomaticMode=False;InsertKeys=True;ManualMode=False",
     "InsertKeys NewFile", "SpecialKeys"},
    // Several marked: the one set last (automatic, keyboard, manual) stays selected.
    {"LastMarkedWins", "AutomaticMode=1;ManualMode=0;IncrNumber=true;AppendFile=-1;AutoAnswer=1",
     "AutomaticMode AppendFile AutoAnswer", "Frame2"},
    {"ManualDefaultComesAfterKeyboard", "InsertKeys=True", "ManualMode NewFile", ""},
    // No state: unselected, and the settings load reports it; numbers as the load takes them.
    {"UnreadableValuesShowUnselected",
     "AutomaticMode=yes;ManualMode=maybe;NewFile=;AutoStart=70000;AutoClear=1abc;UseTerminalId=5",
     "AutoClear UseTermId", ""},
};

INSTANTIATE_TEST_SUITE_P(Store, OpeningTest, ::testing::ValuesIn(kOpenCases), caseName<OpenCase>);

} // namespace

TEST_P(OpeningTest, SelectsTheStoredStates)
{
    const OpenCase& c = GetParam();
    put(c.store);
    created();
    EXPECT_EQ(checked(kOptions), QString::fromLatin1(c.checked));
    EXPECT_EQ(shown("Frame2 SpecialKeys"), QString::fromLatin1(c.frames));
    const bool unreadable = QByteArray(c.name).startsWith("Unreadable");
    EXPECT_EQ(dialogs.messages().size(), unreadable ? 1 : 0);
}

namespace {

struct KeyCase
{
    const char* name;
    const char* before;
    int caret, selected;
    const char* keys;
    const char* after;
    int caretAfter;
};

class SpecialKeyTest : public Form2Test, public ::testing::WithParamInterface<KeyCase>
{
};

const KeyCase kKeyCases[] = {
    {"EnterBetweenAAndB", "AB", 1, 0, "ENTER", "A{ENTER}B", 8},
    {"EnterThenCtrl", "AB", 1, 0, "ENTER CTRL", "A{ENTER}^B", 9},
    {"ShiftAltF16", "", 0, 0, "SHIFT ALT F16", "+%{F16}", 7},
    {"InFrontOfASelection", "XYZ", 1, 2, "BACKSPACE", "X{BACKSPACE}YZ", 12},
};

INSTANTIATE_TEST_SUITE_P(Palette, SpecialKeyTest, ::testing::ValuesIn(kKeyCases),
                         caseName<KeyCase>);

} // namespace

TEST_P(SpecialKeyTest, InsertsAtTheCaretOfTheBodyBox)
{
    const KeyCase& c = GetParam();
    host.showGeneralConf();
    click("InsertKeys");
    ASSERT_EQ(shown("Frame2 SpecialKeys"), QStringLiteral("SpecialKeys"));
    QLineEdit* body = box("BoxAsciiDataFormat");
    body->setText(QString::fromLatin1(c.before));
    body->setSelection(c.caret, c.selected);
    box("BoxAsciiDataFormat2")->setText(QStringLiteral("[Doc]"));
    for (const QString& key : QString::fromLatin1(c.keys).split(u' ')) {
        for (QPushButton* button : specialKeys()) {
            if (button->text() == key) {
                button->click();
            }
        }
    }
    EXPECT_EQ(body->text(), QString::fromLatin1(c.after));
    EXPECT_EQ(body->cursorPosition(), c.caretAfter);
    EXPECT_EQ(box("BoxAsciiDataFormat2")->text(), QStringLiteral("[Doc]"));
}

TEST_F(Form2Test, TheFramesAboveKeepTheirPlaceWhateverTheMiddleShows)
{
    host.showGeneralConf();
    QWidget* form = host.form();
    form->resize(form->sizeHint());
    const auto geometries = [this] {
        return QList<QRect>{control("Frame1")->geometry(), control("Modem")->geometry(),
                            control("Label1")->geometry()};
    };
    click("AutomaticMode");
    QApplication::processEvents();
    const QList<QRect> automatic = geometries();
    // Manual mode hides both middle frames; the area stays empty instead of the frames above
    // stretching into it, and the templates below stay where they were.
    click("ManualMode");
    QApplication::processEvents();
    EXPECT_EQ(geometries(), automatic);
    click("InsertKeys");
    QApplication::processEvents();
    EXPECT_EQ(geometries().first(), automatic.first());
}

TEST_F(Form2Test, SpecialKeysStandInTheGridInKeyOrder)
{
    created();
    const QList<QPushButton*> buttons = specialKeys();
    ASSERT_EQ(buttons.size(), 39);
    const QScreen* screen = host.form()->screen();
    const auto px = [screen](int left, int top) {
        return QPoint(qRound(left * screen->logicalDotsPerInchX() / 1440),
                      qRound(top * screen->logicalDotsPerInchY() / 1440));
    };
    // index, caption, left and top in 1/1440 inch
    const struct
    {
        int index;
        const char* caption;
        int left, top;
    } corners[] = {{0, "BACKSPACE", 50, 300}, {4, "DOWN", 5650, 300}, {5, "END", 50, 800},
                   {19, "ENTER", 5650, 1800}, {35, "F16", 50, 3800},  {38, "ALT", 4250, 3800}};
    for (const auto& corner : corners) {
        EXPECT_EQ(buttons.at(corner.index)->text(), QLatin1String(corner.caption));
        EXPECT_EQ(buttons.at(corner.index)->pos(), px(corner.left, corner.top)) << corner.caption;
    }
    for (int i = 0; i < buttons.size(); ++i) {
        const QPushButton* key = buttons.at(i);
        EXPECT_EQ(key->pos(), QPoint(buttons.at(i % 5)->x(), buttons.at(i - i % 5)->y())) << i;
        EXPECT_EQ(key->width(), px(1300, 0).x()) << i;
        EXPECT_TRUE(key->parentWidget()->rect().contains(key->geometry())) << i;
    }
}

TEST_F(Form2Test, BrowseCancelledFillsTheBoxesFromTheSharedFileDialog)
{
    created();
    box("MyExternalProgram")->setText(QStringLiteral("old"));
    click("Command4"); // the file dialog was not used yet in this dialog
    EXPECT_EQ(box("MyExternalProgram")->text(), QString());
    click("Command1");
    EXPECT_EQ(box("MyFileName")->text(), QStringLiteral("TerminalId.txt"));
    dialogs.fileAnswers.push_back(QStringLiteral("/opt/tools/notify"));
    click("Command4");
    click("Command4");
    EXPECT_EQ(box("MyExternalProgram")->text(), QStringLiteral("/opt/tools/notify"));
    ASSERT_EQ(dialogs.fileRequests.size(), 4);
    EXPECT_EQ(dialogs.fileRequests.at(2).initialPath, QStringLiteral("TerminalId.txt"));
}

TEST_F(Form2Test, CancelAndTheCloseButtonDiscardWithoutWriting)
{
    for (const bool closeButton : {false, true}) {
        host.showGeneralConf();
        library.calls.clear();
        box("MyFileName")->setText(QStringLiteral("edited.txt"));
        control<QCheckBox>("AutoAnswer")->setChecked(true);
        closeButton ? static_cast<void>(host.form()->close()) : click("Command3");
        EXPECT_EQ(host.form(), nullptr) << closeButton;
        EXPECT_EQ(calls(), QString()) << closeButton;
        EXPECT_EQ(core.state.settings.MyFileName, QString()) << closeButton;
    }
}

TEST_F(Form2Test, OkSavesAppliesAndANewDialogComesWithTheNextLoad)
{
    created();
    click("AutomaticMode");
    EXPECT_EQ(shown("Frame2 SpecialKeys"), QStringLiteral("Frame2"));
    click("AppendFile");
    control<QComboBox>("Language")->setCurrentText(QStringLiteral("Spanish"));
    const QPointer<Form2> first = host.form();
    click("Command2");
    EXPECT_EQ(host.form(), nullptr);
    EXPECT_EQ(store.value(QStringLiteral("AppendFile")), QStringLiteral("True"));
    EXPECT_TRUE(core.state.settings.AutomaticMode);
    EXPECT_EQ(core.language.languageIndex(), 2);

    core.config.loadSettings(core.state.settings);
    ASSERT_NE(host.form(), nullptr);
    EXPECT_NE(host.form(), first.data());
    EXPECT_FALSE(host.form()->isVisible());
    EXPECT_EQ(checked(kOptions), QStringLiteral("AutomaticMode AppendFile"));
    EXPECT_EQ(host.form()->windowTitle(), QStringLiteral("Configuraciones Generales"));
}

TEST_F(Form2Test, ThePortListNamesTheDevicesAndShowsAnAdapterPluggedInWhileItIsOpen)
{
    QTemporaryDir tree;
    const QDir root(tree.path());
    ASSERT_TRUE(root.mkpath(QStringLiteral("by-id")) && root.mkpath(QStringLiteral("dev")));
    const auto plugIn = [&](const QString& device, const QString& link) {
        QFile node(root.filePath(QStringLiteral("dev/") + device));
        ASSERT_TRUE(node.open(QIODevice::WriteOnly));
        ASSERT_TRUE(QFile::link(QStringLiteral("../dev/") + device,
                                root.filePath(QStringLiteral("by-id/") + link)));
    };
    plugIn(QStringLiteral("ttyUSB0"), QStringLiteral("usb-FTDI_FT232R-if00-port0"));
    const PortDevices devices(
        {root.filePath(QStringLiteral("ports.conf")), root.filePath(QStringLiteral("by-id")),
         root.filePath(QStringLiteral("dev")), root.filePath(QStringLiteral("sys"))});
    core.configuration.setPortDevices(&devices);
    put("ComPort=Com2");
    created()->show();
    auto* ports = control<QComboBox>("ComPort");
    ASSERT_EQ(ports->count(), 16);
    EXPECT_EQ(ports->itemText(0),
              QStringLiteral("Com1 — FTDI FT232R (usb-FTDI_FT232R-if00-port0)"));
    EXPECT_EQ(ports->itemText(1), QStringLiteral("Com2 — %1 (not connected)")
                                      .arg(root.filePath(QStringLiteral("dev/ttyS0"))));
    EXPECT_EQ(ports->itemText(15), QStringLiteral("Com16 — %1 (not connected)")
                                       .arg(root.filePath(QStringLiteral("dev/ttyS14"))));
    EXPECT_EQ(comboText("ComPort"), QStringLiteral("Com2"));
    // Choosing from the list leaves the port's value in the box, which OK stores.
    ports->setCurrentIndex(0);
    emit ports->activated(0);
    EXPECT_EQ(comboText("ComPort"), QStringLiteral("Com1"));

    // A second adapter, sorting first, takes Com1 while the dialog is open.
    plugIn(QStringLiteral("ttyACM0"), QStringLiteral("usb-Arduino_Uno-if00"));
    QDeadlineTimer limit(10000);
    while (ports->itemText(0).contains(QLatin1String("FTDI")) && !limit.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(20);
    }
    EXPECT_EQ(ports->itemText(0), QStringLiteral("Com1 — Arduino Uno (usb-Arduino_Uno-if00)"));
    EXPECT_EQ(ports->itemText(1),
              QStringLiteral("Com2 — FTDI FT232R (usb-FTDI_FT232R-if00-port0)"));
    EXPECT_EQ(comboText("ComPort"), QStringLiteral("Com1")) << "the choice stays";
    click("Command2");
    EXPECT_EQ(store.value(QStringLiteral("ComPort")), QStringLiteral("Com1"));
}

TEST_F(Form2Test, DetectionProbesPortsUntilOneAnswersWhileTheDialogWaits)
{
    host.showGeneralConf();
    sessionOpenOn(1);
    const QPointer<Form2> form = host.form();
    library.script(QStringLiteral("I_CheckTerminal"), {0, 0, 1});
    pump.onEvents = [&] {
        library.calls.append(QStringLiteral("events ") + comboText("ComPort"));
        EXPECT_FALSE(form->isEnabled());
        EXPECT_EQ(dialogs.busyDepth, 1);
        form->close(); // neither closes nor starts anything meanwhile
        form->Command2_Click();
        form->Command6_Click();
    };
    click("Command5");
    ASSERT_FALSE(form.isNull());
    EXPECT_FALSE(form->isDiscarded());
    EXPECT_TRUE(form->isEnabled());
    QString expected = QStringLiteral("events Com1,I_CloseCom 1");
    for (int port = 1; port <= 3; ++port) {
        expected += QStringLiteral(",events Com%1,I_OpenCom %1 19200,events Com%1,VORLAK_Sleep "
                                   "8000,I_CheckTerminal,I_CloseCom %1")
                        .arg(port);
    }
    EXPECT_EQ(calls(), expected + QStringLiteral(",I_OpenCom 3 9600"));
    EXPECT_EQ(comboText("ComPort"), QStringLiteral("Com3"));
    EXPECT_EQ(core.state.settings.ComPortNumber, 3);
    EXPECT_TRUE(core.state.PortOpen && window.timerOn);
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_EQ(dialogs.busyDepth, 0);
}

TEST_F(Form2Test, DetectionWithoutAnswerRestoresThePortAndSaysSo)
{
    host.showGeneralConf();
    control<QComboBox>("ComPort")->setCurrentText(QStringLiteral("Com2"));
    control<QComboBox>("BaudRate")->setCurrentText(QStringLiteral("38400"));
    sessionOpenOn(2);
    // The sixteen ports and the closing probe fail; the session then reopens.
    library.script(QStringLiteral("I_OpenCom"),
                   {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1});
    pump.onEvents = [&] { library.calls.append(comboText("ComPort")); };
    click("Command5");

    QString expected = QStringLiteral("Com2,I_CloseCom 2");
    for (int port = 1; port <= 16; ++port) {
        expected += QStringLiteral(",Com%1,I_OpenCom %1 38400").arg(port);
    }
    EXPECT_EQ(calls(),
              expected + QStringLiteral(",I_OpenCom 1 38400,I_CloseCom 1,I_OpenCom 2 9600"));
    EXPECT_EQ(comboText("ComPort"), QStringLiteral("Com2"));
    EXPECT_EQ(core.state.settings.ComPortNumber, 2);
    EXPECT_TRUE(core.state.PortOpen && window.timerOn);
    ASSERT_EQ(dialogs.messages().size(), 1);
    // In the dialog's language, Portuguese.
    EXPECT_TRUE(dialogs.messages().front().startsWith(
        QStringLiteral("Nenhum terminal respondeu nas portas 1 a 16.")));
    EXPECT_TRUE(dialogs.messages().front().contains(QStringLiteral("porta 2")));
    EXPECT_EQ(dialogs.shown.constLast().icon, MessageIcon::Warning);
}

namespace {

struct ImportCase
{
    const char* name;
    const char* button;
    std::int32_t check, read; ///< results of I_CheckTerminal and of the template read
    QByteArray terminalTemplate;
    const char* body;
    const char* header;
};

class ImportTest : public Form2Test, public ::testing::WithParamInterface<ImportCase>
{
};

const ImportCase kImportCases[] = {
    {"BodyPaddedWithSpaces", "Command6", 1, 1, "  ABC  ", "ABC", "old"},
    {"BodyInWindows1252", "Command6", 1, 7, "[\x80]", "[\xe2\x82\xac]", "old"},
    {"HeaderAnsweredZero", "Command7", 1, 0, "[Doc]", "old", ""},
    {"NoTerminalInTheCradle", "Command6", 0, 1, "ABC", "old", "old"},
};

INSTANTIATE_TEST_SUITE_P(Terminal, ImportTest, ::testing::ValuesIn(kImportCases),
                         caseName<ImportCase>);

} // namespace

TEST_P(ImportTest, ReplacesTheTemplateBox)
{
    const ImportCase& c = GetParam();
    created();
    box("BoxAsciiDataFormat")->setText(QStringLiteral("old"));
    box("BoxAsciiDataFormat2")->setText(QStringLiteral("old"));
    const bool body = QByteArray(c.button) == "Command6";
    const QString read =
        body ? QStringLiteral("I_ReadEntriesConfig") : QStringLiteral("I_ReadHeadersConfig");
    library.identity = "T7";
    library.script(QStringLiteral("I_CheckTerminal"), {c.check});
    library.script(read, {c.read});
    (body ? library.entriesTemplate : library.headersTemplate) = c.terminalTemplate;

    click(c.button);
    EXPECT_EQ(box("BoxAsciiDataFormat")->text(), QString::fromUtf8(c.body));
    EXPECT_EQ(box("BoxAsciiDataFormat2")->text(), QString::fromUtf8(c.header));
    EXPECT_EQ(calls(), QStringLiteral("I_CheckTerminal") +
                           (c.check == 0 ? QString() : QStringLiteral(",") + read));
    EXPECT_EQ(core.state.TerminalId, QByteArray("T7      ")) << "the library's identity is kept";
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_EQ(store.value(QStringLiteral("AsciiDataFormat")), std::nullopt) << "stored by OK only";
}

TEST_F(Form2Test, FitsA1280By720ScreenInEveryModeAndLanguage)
{
    // The dialog as it opens fits the screen with room for a panel and its title bar, also in
    // the larger font desktops use, and no control in it is squeezed below the size it needs
    // (a cut-off row).
    const QSize screen(1280, 720 - 80);
    const char* const modes[] = {"AutomaticMode", "ManualMode", "InsertKeys"};
    const char* const languages[] = {"Portugues", "English", "Spanish"};
    const QFont before = QApplication::font();
    QFont font = before;
    font.setPointSizeF(11);
    QApplication::setFont(font);
    for (const char* language : languages) {
        for (const char* mode : modes) {
            SCOPED_TRACE(std::string(language) + " " + mode);
            put((std::string("Language=") + language).c_str());
            host.showGeneralConf();
            click(mode);
            QApplication::processEvents();
            Form2* form = host.form();
            const QSize frame = form->frameGeometry().size();
            EXPECT_LE(frame.width(), screen.width());
            EXPECT_LE(frame.height(), screen.height());
            for (QWidget* child : form->findChildren<QWidget*>()) {
                if (!child->isVisible() || child->parentWidget()->inherits("QComboBox")) {
                    continue;
                }
                const QRect inDialog(child->mapTo(form, QPoint(0, 0)), child->size());
                EXPECT_TRUE(form->rect().contains(inDialog))
                    << child->objectName().toStdString() << " at " << inDialog.y() << "+"
                    << inDialog.height() << " in " << form->height();
                if (child->minimumSizeHint().isValid() && child->parentWidget() == form) {
                    EXPECT_GE(child->height(), child->minimumSizeHint().height())
                        << child->objectName().toStdString();
                }
            }
            click("Command3");
            QApplication::processEvents();
        }
    }
    QApplication::setFont(before);
}
