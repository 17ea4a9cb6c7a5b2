#include "common/appstate.h"
#include "common/documentview.h"
#include "fakecommlibrary.h"
#include "i18n/uilanguage.h"
#include "keystrokeprinters.h"
#include "lists/terminalclearing.h"
#include "markedreading.h"
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

TEST_F(KeyboardDeliveryTest, TheViewsTextActsAsNotation)
{
    view.setText(QStringLiteral("Qty 5%x\n"));
    EXPECT_TRUE(delivery.deliver());
    ASSERT_EQ(sink.sent.size(), 1);
    EXPECT_EQ(sink.sent.front().back(), Keystroke::typed('x', Keystroke::Modifier::Alt));
}

std::vector<Keystroke> typedText(const QString& text)
{
    std::vector<Keystroke> keys;
    for (const char32_t c : text.toStdU32String()) {
        keys.push_back(Keystroke::typed(c));
    }
    return keys;
}

class KeyboardDeliveryValues : public KeyboardDeliveryTest,
                               public ::testing::WithParamInterface<ValueCase>
{
};

// Two records read in one call: the values are typed as they are, the template's tokens act,
// and its own "^" and "%" still hold Ctrl and Alt.
TEST_P(KeyboardDeliveryValues, TypesTheValuesExactlyAndTheTemplateAsKeys)
{
    const std::vector<vorlak::Record> records = {
        {{"Name", windows1252(GetParam().value)}, {"Qty", "1+1"}},
        {{"Name", "B(2)"}, {"Qty", windows1252(GetParam().value)}},
    };
    view.setText(
        markedReading(QStringLiteral("[Name]{TAB}[Qty][XXXX]^s%{F2}{ENTER}\r\n"), records));

    ASSERT_TRUE(delivery.deliver()) << dialogs.messages().join(u'\n').toStdString();

    const QString typed = QString::fromUtf16(GetParam().typed);
    // The width counts a marker inside the value too, which is then dropped.
    QString qty = QString::fromUtf16(GetParam().value).left(4);
    qty += QString(4 - qty.size(), u' ');
    qty.remove(MarkedTemplate::kValueStart).remove(MarkedTemplate::kValueEnd);
    std::vector<Keystroke> expected;
    for (const auto& [name, quantity] :
         {std::pair(typed, QStringLiteral("1+1 ")), std::pair(QStringLiteral("B(2)"), qty)}) {
        for (const auto& part :
             {typedText(name), std::vector{Keystroke::named(Keystroke::Key::Tab)},
              typedText(quantity),
              std::vector{Keystroke::typed('s', Keystroke::Modifier::Control),
                          Keystroke::named(Keystroke::Key::F2, Keystroke::Modifier::Alt),
                          Keystroke::named(Keystroke::Key::Enter)}}) {
            expected.insert(expected.end(), part.begin(), part.end());
        }
    }
    ASSERT_EQ(sink.sent.size(), 1);
    EXPECT_EQ(sink.sent.front(), expected) << view.text().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Delivery, KeyboardDeliveryValues, ::testing::ValuesIn(valueCases()),
                         [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

TEST(MarkedTemplateTest, MarksEveryFieldGroupWithItsWidthAndNothingElse)
{
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"[Code][XXXX]{TAB}[Qty]~", u"\x0e[Code][XXXX]\x0f{TAB}\x0e[Qty]\x0f~"},
        {u"[[Code]]", u"[\x0e[Code]\x0f]"},
        {u"a[Qty b]", u"a\x0e[Qty b]\x0f"},
        {u"[ ][]a]", u"[ ][]a]"},
        {u"[Co\r\nde]", u"[Co\r\nde]"},
        {u"[Co[Code]", u"[Co\x0e[Code]\x0f"},
        {u"[Code][XX][XXX]|", u"\x0e[Code][XX]\x0f\x0e[XXX]\x0f|"},
        {u"[Code] [XXX]", u"\x0e[Code]\x0f \x0e[XXX]\x0f"},
        {u"<[XXXX]>", u"<\x0e[XXXX]\x0f>"},
        {u"[ Co de ]x", u"\x0e[ Co de ]\x0fx"},
        {u"\x0f"
         u"a[B]\x0e"
         u"c",
         u"a\x0e[B]\x0f"
         u"c"}, // the user's own markers are dropped
        {u"{ENTER}", u"{ENTER}"},
    };
    for (const auto& [user, marked] : cases) {
        EXPECT_EQ(MarkedTemplate(QString::fromUtf16(user)).text(), QString::fromUtf16(marked))
            << QString::fromUtf16(user).toStdString();
    }
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
