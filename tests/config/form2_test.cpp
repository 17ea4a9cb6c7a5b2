// The configuration dialog as the user meets it: real widgets, offscreen, with the program's
// logic on recording parts.
#include "config/form2.h"
#include "config/form2host.h"
#include "config/specialkeys.h"
#include "configurationtestsupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

namespace {

class Form2Test : public ConfigurationTest
{
protected:
    /// The dialog as start-up leaves it: created hidden by the first settings load.
    Form2* created()
    {
        core.config.ReadConf(core.state.settings);
        library.calls.clear();
        return host.form();
    }
    template <typename Widget>
    Widget* control(const char* name)
    {
        Widget* widget = host.form()->findChild<Widget*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    bool checked(const char* name) { return control<QAbstractButton>(name)->isChecked(); }
    bool shown(const char* name) { return !control<QWidget>(name)->isHidden(); }
    QString text(const char* name) { return control<QLineEdit>(name)->text(); }
    QString comboText(const char* name) { return control<QComboBox>(name)->currentText(); }
    QList<QPushButton*> specialKeys()
    {
        return control<QGroupBox>("SpecialKeys")
            ->findChildren<QPushButton*>(QStringLiteral("Command8"));
    }
    void pressKey(const char* name)
    {
        for (QPushButton* key : specialKeys()) {
            if (key->text() == QLatin1String(name)) {
                key->click();
                return;
            }
        }
        ADD_FAILURE() << "no special key " << name;
    }

    /// Owns the dialogs as the main window does, so discarded ones are deleted with it.
    QWidget mainWindow;
    Form2Host host{context(), &mainWindow};
};

} // namespace

TEST_F(Form2Test, SettingsLoadCreatesItHiddenWithTheEmptyStoresValues)
{
    Form2* form = created();
    ASSERT_NE(form, nullptr);
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(form->isModal());
    EXPECT_TRUE(checked("ManualMode"));
    EXPECT_FALSE(checked("AutomaticMode"));
    EXPECT_TRUE(checked("NewFile"));
    EXPECT_FALSE(shown("Frame2"));
    EXPECT_FALSE(shown("SpecialKeys"));
    EXPECT_EQ(text("MyFileName"), QStringLiteral("Demo.txt"));
    EXPECT_EQ(text("BoxAsciiDataFormat"), QString()) << "the sample text is replaced";
    EXPECT_EQ(text("BoxAsciiDataFormat2"), QString());
    EXPECT_EQ(comboText("ComPort"), QStringLiteral("Com1"));
    EXPECT_EQ(comboText("BaudRate"), QStringLiteral("19200"));
    EXPECT_FALSE(shown("BaudRate"));
    EXPECT_FALSE(shown("Label5"));
    // The first run stored English from the locale; the dialog shows and applies it.
    EXPECT_EQ(comboText("Language"), QStringLiteral("English"));
    EXPECT_EQ(form->windowTitle(), QStringLiteral("General Configurations"));
    EXPECT_EQ(control<QGroupBox>("Frame1")->title(), QStringLiteral("Working mode"));
    EXPECT_EQ(control<QPushButton>("Command5")->text(), QStringLiteral("Auto detect"));
    EXPECT_EQ(control<QGroupBox>("Modem")->title(), QStringLiteral("Modem"));
    EXPECT_EQ(control<QLabel>("Label5")->text(), QStringLiteral("Baud Rate"));
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(Form2Test, LanguageBoxDefaultsToPortuguese)
{
    host.showGeneralConf();
    EXPECT_EQ(comboText("Language"), QStringLiteral("Portugues"));
    EXPECT_EQ(host.form()->windowTitle(), QStringLiteral("Configura\u00e7\u00f5es gerais"));
    EXPECT_TRUE(host.form()->isVisible());
}

TEST_F(Form2Test, WorkingModeOptionsShowTheirFrame)
{
    put("AutomaticMode", "False");
    put("InsertKeys", "True");
    put("ManualMode", "False");
    created();
    EXPECT_TRUE(shown("SpecialKeys"));
    EXPECT_FALSE(shown("Frame2"));
    control<QRadioButton>("AutomaticMode")->click();
    EXPECT_TRUE(shown("Frame2"));
    EXPECT_FALSE(shown("SpecialKeys"));
    control<QRadioButton>("ManualMode")->click();
    EXPECT_FALSE(shown("Frame2"));
    EXPECT_FALSE(shown("SpecialKeys"));
}

TEST_F(Form2Test, UnreadableOptionsShowUnselectedAndTheLoadSaysSo)
{
    put("AutomaticMode", "yes");
    put("ManualMode", "maybe");
    put("AppendFile", "x");
    created();
    for (const char* option : {"AutomaticMode", "ManualMode", "InsertKeys"}) {
        EXPECT_FALSE(checked(option)) << option;
    }
    EXPECT_TRUE(checked("NewFile"));
    EXPECT_FALSE(shown("Frame2"));
    EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral("Invalid Configurations !!!")});
}

namespace {

struct KeyCase
{
    const char* name;
    const char* before;
    int caret;
    int selectionLength; ///< selected from the caret on
    std::vector<const char*> keys;
    const char* after;
    int caretAfter;
};

class SpecialKeyTest : public Form2Test, public ::testing::WithParamInterface<KeyCase>
{
};

const KeyCase kKeyCases[] = {
    {"EnterBetweenAAndB", "AB", 1, 0, {"ENTER"}, "A{ENTER}B", 8},
    {"EnterThenCtrl", "AB", 1, 0, {"ENTER", "CTRL"}, "A{ENTER}^B", 9},
    {"ShiftAltF16", "", 0, 0, {"SHIFT", "ALT", "F16"}, "+%{F16}", 7},
    {"AtTheEnd", "[Code]", 6, 0, {"TAB"}, "[Code]{TAB}", 11},
    {"InFrontOfASelection", "XYZ", 1, 2, {"BACKSPACE"}, "X{BACKSPACE}YZ", 12},
};

INSTANTIATE_TEST_SUITE_P(Palette, SpecialKeyTest, ::testing::ValuesIn(kKeyCases),
                         caseName<KeyCase>);

} // namespace

TEST_P(SpecialKeyTest, InsertsAtTheCaretOfTheBodyBox)
{
    const KeyCase& c = GetParam();
    put("InsertKeys", "True");
    put("ManualMode", "False");
    host.showGeneralConf();
    auto* box = control<QLineEdit>("BoxAsciiDataFormat");
    box->setText(QString::fromLatin1(c.before));
    box->setCursorPosition(c.caret);
    if (c.selectionLength > 0) {
        box->setSelection(c.caret, c.selectionLength);
    }
    // The caret was last in the body box; the header box is untouched.
    control<QLineEdit>("BoxAsciiDataFormat2")->setText(QStringLiteral("[Doc]"));
    for (const char* key : c.keys) {
        pressKey(key);
    }
    EXPECT_EQ(box->text(), QString::fromLatin1(c.after));
    EXPECT_EQ(box->cursorPosition(), c.caretAfter);
    EXPECT_EQ(text("BoxAsciiDataFormat2"), QStringLiteral("[Doc]"));
}

TEST_F(Form2Test, SpecialKeysStandInTheGridInKeyOrder)
{
    created();
    const QList<QPushButton*> buttons = specialKeys();
    ASSERT_EQ(buttons.size(), 39);
    const QScreen* screen = host.form()->screen();
    ASSERT_NE(screen, nullptr);
    const auto px = [](int twips, double dpi) { return qRound(twips * dpi / 1440.0); };
    const double dpiX = screen->logicalDotsPerInchX();
    const double dpiY = screen->logicalDotsPerInchY();
    // index, caption, left and top in 1/1440 inch
    const struct
    {
        int index;
        const char* caption;
        int left;
        int top;
    } corners[] = {{0, "BACKSPACE", 50, 300}, {4, "DOWN", 5650, 300}, {5, "END", 50, 800},
                   {19, "ENTER", 5650, 1800}, {35, "F16", 50, 3800},  {38, "ALT", 4250, 3800}};
    for (const auto& corner : corners) {
        const QPushButton* key = buttons.at(corner.index);
        EXPECT_EQ(key->text(), QLatin1String(corner.caption));
        EXPECT_EQ(key->x(), px(corner.left, dpiX)) << corner.caption;
        EXPECT_EQ(key->y(), px(corner.top, dpiY)) << corner.caption;
    }
    for (int i = 0; i < buttons.size(); ++i) {
        const QPushButton* key = buttons.at(i);
        EXPECT_EQ(key->text(), SpecialKeys::name(i));
        EXPECT_EQ(key->x(), buttons.at(i % 5)->x()) << i;
        EXPECT_EQ(key->y(), buttons.at(i - i % 5)->y()) << i;
        EXPECT_EQ(key->width(), px(1300, dpiX)) << i;
        EXPECT_TRUE(key->parentWidget()->rect().contains(key->geometry())) << i;
    }
}

TEST_F(Form2Test, BrowseCancelledFillsTheBoxesFromTheSharedFileDialog)
{
    created();
    auto* fileName = control<QLineEdit>("MyFileName");
    auto* program = control<QLineEdit>("MyExternalProgram");
    program->setText(QStringLiteral("old"));
    // Not used yet in this dialog: the program box is emptied.
    control<QPushButton>("Command4")->click();
    EXPECT_EQ(program->text(), QString());
    control<QPushButton>("Command1")->click();
    EXPECT_EQ(fileName->text(), QStringLiteral("TerminalId.txt"));
    control<QPushButton>("Command4")->click();
    EXPECT_EQ(program->text(), QStringLiteral("TerminalId.txt"));

    dialogs.fileAnswers.push_back(QStringLiteral("/opt/tools/notify"));
    control<QPushButton>("Command4")->click();
    EXPECT_EQ(program->text(), QStringLiteral("/opt/tools/notify"));
    ASSERT_EQ(dialogs.fileRequests.size(), 4);
    EXPECT_EQ(dialogs.fileRequests.at(1).initialPath, QStringLiteral("TerminalId.txt"));
    EXPECT_EQ(dialogs.fileRequests.at(1).filter, QString());
    EXPECT_EQ(dialogs.fileRequests.at(1).title, QString());
}

TEST_F(Form2Test, CancelAndCloseDiscardWithoutWriting)
{
    for (const bool byCloseButton : {false, true}) {
        host.showGeneralConf();
        library.calls.clear();
        const Settings before = core.state.settings;
        control<QLineEdit>("MyFileName")->setText(QStringLiteral("edited.txt"));
        control<QCheckBox>("AutoAnswer")->setChecked(true);
        if (byCloseButton) {
            host.form()->close();
        } else {
            control<QPushButton>("Command3")->click();
        }
        EXPECT_EQ(host.form(), nullptr) << byCloseButton;
        EXPECT_TRUE(library.calls.isEmpty()) << library.calls.join(u',').toStdString();
        EXPECT_EQ(core.state.settings.MyFileName, before.MyFileName);
    }
}

TEST_F(Form2Test, OkSavesAppliesAndANewDialogComesWithTheNextLoad)
{
    created();
    control<QRadioButton>("AutomaticMode")->click();
    control<QRadioButton>("AppendFile")->click();
    control<QLineEdit>("MyFileName")->setText(QStringLiteral("out.txt"));
    control<QComboBox>("Language")->setCurrentText(QStringLiteral("Spanish"));
    QPointer<Form2> first = host.form();
    control<QPushButton>("Command2")->click();

    EXPECT_EQ(host.form(), nullptr);
    EXPECT_EQ(stored("MyFileName"), QStringLiteral("out.txt"));
    EXPECT_EQ(stored("AppendFile"), QStringLiteral("True"));
    EXPECT_EQ(stored("Language"), QStringLiteral("Spanish"));
    EXPECT_TRUE(core.state.settings.AutomaticMode);
    EXPECT_EQ(core.language.LanguageIndex(), 2);

    core.config.ReadConf(core.state.settings);
    ASSERT_NE(host.form(), nullptr);
    EXPECT_NE(host.form(), first.data());
    EXPECT_FALSE(host.form()->isVisible());
    EXPECT_TRUE(checked("AppendFile"));
    EXPECT_EQ(host.form()->windowTitle(), QStringLiteral("Configuraciones Generales"));
}

TEST_F(Form2Test, DetectionLetsEventsRunButTheDialogCannotCloseMeanwhile)
{
    sessionOpenOn(1);
    host.showGeneralConf();
    QPointer<Form2> form = host.form();
    library.script(QStringLiteral("I_CheckTerminal"), {0, 0, 1});
    QStringList boxSeen;
    pump.onEvents = [&] {
        boxSeen.append(comboText("ComPort"));
        EXPECT_FALSE(form->isEnabled());
        form->close();
        form->Command2_Click();
        form->Command6_Click();
    };
    control<QPushButton>("Command5")->click();

    ASSERT_FALSE(form.isNull());
    EXPECT_FALSE(form->isDiscarded());
    EXPECT_TRUE(form->isEnabled());
    EXPECT_EQ(comboText("ComPort"), QStringLiteral("Com3"));
    EXPECT_EQ(boxSeen.mid(1, 3), (QStringList{QStringLiteral("Com1"), QStringLiteral("Com1"),
                                              QStringLiteral("Com2")}));
    EXPECT_EQ(library.calls.count(QStringLiteral("I_CheckTerminal")), 3) << "no import ran";
    EXPECT_EQ(core.state.settings.ComPortNumber, 3);
    EXPECT_EQ(store.value(QStringLiteral("ComPort")), std::nullopt) << "stored only by OK";
}

TEST_F(Form2Test, ImportsReplaceTheTemplateBoxes)
{
    created();
    control<QLineEdit>("BoxAsciiDataFormat")->setText(QStringLiteral("old body"));
    control<QLineEdit>("BoxAsciiDataFormat2")->setText(QStringLiteral("old header"));
    library.setDefault(QStringLiteral("I_CheckTerminal"), 1);
    library.entriesTemplate = "[Code][XXXX]   ";
    control<QPushButton>("Command6")->click();
    control<QPushButton>("Command7")->click();
    EXPECT_EQ(text("BoxAsciiDataFormat"), QStringLiteral("[Code][XXXX]"));
    EXPECT_EQ(text("BoxAsciiDataFormat2"), QString());
}
