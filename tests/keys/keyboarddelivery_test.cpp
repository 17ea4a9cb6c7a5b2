#include "common/appstate.h"
#include "common/documentview.h"
#include "fakecommlibrary.h"
#include "i18n/uilanguage.h"
#include "keystrokeprinters.h"
#include "lists/terminalclearing.h"
#include "output/keyboarddelivery.h"
#include "output/keystrokesink.h"
#include "recordingdialogs.h"

#include <gtest/gtest.h>

namespace {

// Keeps carriage returns, as a view fed by another platform might; the memory view would
// normalise them away before the delivery ever saw them.
class RawDocumentView : public DocumentView
{
public:
    [[nodiscard]] QString text() const override { return m_text; }
    void setText(const QString& text) override { m_text = text; }
    [[nodiscard]] QString selectedText() const override { return {}; }

private:
    QString m_text;
};

class KeyboardDeliveryTest : public ::testing::Test
{
protected:
    void SetUp() override { language.applyLanguage(QStringLiteral("English")); }

    std::vector<Keystroke> keysOf(const char16_t* notation)
    {
        const SendKeysResult result = SendKeys::parse(QString::fromUtf16(notation));
        EXPECT_TRUE(result.ok());
        return result.keys;
    }

    FakeCommLibrary library;
    AppState state;
    RecordingDialogs dialogs;
    UiLanguage language;
    TerminalClearing clearing{library, state, dialogs, language};
    RecordingKeystrokeSink sink;
    RawDocumentView view;
    KeyboardDelivery delivery{sink, clearing, view, dialogs};
};

TEST_F(KeyboardDeliveryTest, TypesTheTextWithoutLineBreaksThenClearsWhateverAutoClearSays)
{
    for (const std::int16_t autoClear : {std::int16_t(0), std::int16_t(1)}) {
        state.settings.AutoClear = autoClear;
        view.setText(QStringLiteral("123{TAB}4{ENTER}\r\nab\ncd\r"));
        library.calls.clear();
        sink.sent.clear();

        EXPECT_TRUE(delivery.deliver());

        ASSERT_EQ(sink.sent.size(), 1) << "AutoClear " << autoClear;
        EXPECT_EQ(sink.sent.front(), keysOf(u"123{TAB}4{ENTER}abcd"));
        EXPECT_EQ(library.calls, QStringList{QStringLiteral("I_ClearAllEntries")});
    }
    EXPECT_TRUE(dialogs.shown.isEmpty());
    EXPECT_EQ(view.text(), QStringLiteral("123{TAB}4{ENTER}\r\nab\ncd\r")); // the view keeps it all
}

TEST_F(KeyboardDeliveryTest, DataActsAsNotation)
{
    view.setText(QStringLiteral("Qty 5%x\n"));
    EXPECT_TRUE(delivery.deliver());
    ASSERT_EQ(sink.sent.size(), 1);
    EXPECT_EQ(sink.sent.front().back(), Keystroke::typed('x', Keystroke::Modifier::Alt));
}

struct MalformedCase
{
    const char* name;
    const char16_t* text;
    const char16_t* where;
};
void PrintTo(const MalformedCase& c, std::ostream* os)
{
    *os << c.name;
}

class KeyboardDeliveryMalformed : public KeyboardDeliveryTest,
                                  public ::testing::WithParamInterface<MalformedCase>
{
};

TEST_P(KeyboardDeliveryMalformed, TypesNothingKeepsTheDataAndSaysWhere)
{
    const QString text = QString::fromUtf16(GetParam().text);
    view.setText(text);

    EXPECT_FALSE(delivery.deliver());

    EXPECT_TRUE(sink.sent.isEmpty());
    EXPECT_TRUE(library.calls.isEmpty()); // no I_ClearAllEntries
    EXPECT_EQ(view.text(), text);
    ASSERT_EQ(dialogs.messages().size(), 1);
    const QString message = dialogs.messages().front();
    EXPECT_TRUE(message.contains(QString::fromUtf16(GetParam().where))) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("Nothing was typed"))) << message.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Delivery, KeyboardDeliveryMalformed,
    ::testing::Values(
        MalformedCase{"UnknownNameAfterGoodLines", u"123{TAB}4{ENTER}\r\n567{TABB}8\r\n",
                      u"line 2, column 4 (character 22): unknown key name {TABB}"},
        MalformedCase{"UnclosedBraceAtTheVeryEnd", u"12{TAB}\n34{ENTER",
                      u"line 2, column 3 (character 11): \"{\" is not closed by \"}\""},
        MalformedCase{"PercentAtTheEnd", u"Discount 5%\r\n",
                      u"line 1, column 11 (character 11): \"%\" (Alt) at the end"}),
    [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

TEST_F(KeyboardDeliveryTest, ASinkThatCannotTypeLeavesTheTerminalAlone)
{
    sink.failure = QStringLiteral("Keystroke output is not available: there is no X display "
                                  "(DISPLAY is not set)");
    view.setText(QStringLiteral("123{TAB}\r\n"));

    EXPECT_FALSE(delivery.deliver());

    EXPECT_TRUE(library.calls.isEmpty());
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_TRUE(dialogs.messages().front().contains(*sink.failure));
    EXPECT_TRUE(dialogs.messages().front().contains(QStringLiteral("stays on the terminal")));
    EXPECT_EQ(view.text(), QStringLiteral("123{TAB}\r\n"));
}

TEST_F(KeyboardDeliveryTest, NothingToTypeClearsNothing)
{
    for (const char16_t* text : {u"", u"\r\n\r\n", u"{TAB 0}"}) {
        view.setText(QString::fromUtf16(text));
        EXPECT_FALSE(delivery.deliver());
    }
    EXPECT_TRUE(sink.sent.isEmpty());
    EXPECT_TRUE(library.calls.isEmpty());
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(KeyboardDeliveryTest, AFailedClearingIsReportedButTheTextWasTyped)
{
    library.script(QStringLiteral("I_ClearAllEntries"), {-2});
    view.setText(QStringLiteral("1{ENTER}"));
    EXPECT_TRUE(delivery.deliver());
    EXPECT_EQ(sink.sent.size(), 1);
    EXPECT_EQ(dialogs.messages(),
              QStringList{QStringLiteral("Please place the terminal on the craddle")});
}

} // namespace
