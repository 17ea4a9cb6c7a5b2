#include "keystrokeprinters.h"
#include "output/sendkeys.h"

#include <gtest/gtest.h>

namespace {

using K = Keystroke::Key;
using M = Keystroke::Modifier;

Keystroke ch(char32_t c, Keystroke::Modifiers m = {}, int repeat = 1)
{
    return Keystroke::typed(c, m, repeat);
}
Keystroke key(K k, Keystroke::Modifiers m = {}, int repeat = 1)
{
    return Keystroke::named(k, m, repeat);
}

struct ParseCase
{
    const char* name;
    const char16_t* notation;
    std::vector<Keystroke> keys;
};
void PrintTo(const ParseCase& c, std::ostream* os)
{
    *os << c.name;
}

class SendKeysParse : public ::testing::TestWithParam<ParseCase>
{
};

TEST_P(SendKeysParse, GivesTheKeystrokes)
{
    const SendKeysResult result = SendKeys::parse(QString::fromUtf16(GetParam().notation));
    ASSERT_TRUE(result.ok()) << result.error->message().toStdString();
    EXPECT_EQ(result.keys, GetParam().keys);
}

const M Shift = M::Shift;
const M Ctrl = M::Control;
const M Alt = M::Alt;

INSTANTIATE_TEST_SUITE_P(
    Notation, SendKeysParse,
    ::testing::Values(
        ParseCase{"FieldsAndTokens",
                  u"12{TAB}4{ENTER}",
                  {ch('1'), ch('2'), key(K::Tab), ch('4'), key(K::Enter)}},
        ParseCase{"ShiftedCharacter", u"+a", {ch('a', Shift)}},
        ParseCase{"CtrlGroup", u"^(ab)c", {ch('a', Ctrl), ch('b', Ctrl), ch('c')}},
        ParseCase{"AltNamedKey", u"%{F4}", {key(K::F4, Alt)}},
        ParseCase{"ModifiersCombine", u"+^%{F16}x", {key(K::F16, Shift | Ctrl | Alt), ch('x')}},
        ParseCase{"NestedGroupsAddModifiers",
                  u"+(a^(b)c)d",
                  {ch('a', Shift), ch('b', Shift | Ctrl), ch('c', Shift), ch('d')}},
        ParseCase{"GroupWithoutModifier", u"(ab)", {ch('a'), ch('b')}},
        ParseCase{"ModifierOnRepeatedKey", u"+{TAB 2}", {key(K::Tab, Shift, 2)}},
        ParseCase{"RepeatedKey", u"{ENTER 3}", {key(K::Enter, {}, 3)}},
        ParseCase{"RepeatWithBlanksAndZeros", u"{left\t 007 }", {key(K::Left, {}, 7)}},
        ParseCase{"RepeatZeroPressesNothing", u"^{TAB 0}x", {ch('x')}},
        ParseCase{"TildeIsEnter", u"a~", {ch('a'), key(K::Enter)}},
        ParseCase{"LiteralSpecialCharacters",
                  u"{+}{^}{%}{~}{(}{)}{{}{}}",
                  {ch('+'), ch('^'), ch('%'), ch('~'), ch('('), ch(')'), ch('{'), ch('}')}},
        ParseCase{"RepeatedLiteralCharacters",
                  u"{} 3}{+ 2}{\u00e9 2}",
                  {ch('}', {}, 3), ch('+', {}, 2), ch(U'\u00e9', {}, 2)}},
        ParseCase{"NamesIgnoreCaseAndHaveAliases",
                  u"{tab}{Enter}{bs}{BKSP}{Backspace}{del}{ins}{esc}{PgDn}{pgup}{prtsc}",
                  {key(K::Tab), key(K::Enter), key(K::Backspace), key(K::Backspace),
                   key(K::Backspace), key(K::Delete), key(K::Insert), key(K::Escape),
                   key(K::PageDown), key(K::PageUp), key(K::PrintScreen)}},
        ParseCase{"KeypadKeys",
                  u"{ADD}{SUBTRACT}{MULTIPLY}{DIVIDE}",
                  {key(K::Add), key(K::Subtract), key(K::Multiply), key(K::Divide)}},
        ParseCase{"AccentsSpacesAndAstralCharacters",
                  u"\u00c7a \u00f1\U0001F600",
                  {ch(U'\u00c7'), ch('a'), ch(' '), ch(U'\u00f1'), ch(U'\U0001F600')}},
        ParseCase{"Empty", u"", {}}),
    [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

struct ErrorCase
{
    const char* name;
    const char16_t* notation;
    qsizetype position;
    int line;
    int column;
    const char16_t* description;
};
void PrintTo(const ErrorCase& c, std::ostream* os)
{
    *os << c.name;
}

class SendKeysErrors : public ::testing::TestWithParam<ErrorCase>
{
};

TEST_P(SendKeysErrors, SaysWhatAndWhere)
{
    const ErrorCase& c = GetParam();
    const SendKeysResult result = SendKeys::parse(QString::fromUtf16(c.notation));
    ASSERT_FALSE(result.ok());
    EXPECT_TRUE(result.keys.empty());
    EXPECT_EQ(result.error->description, QString::fromUtf16(c.description));
    EXPECT_EQ(result.error->position, c.position);
    EXPECT_EQ(result.error->line, c.line);
    EXPECT_EQ(result.error->column, c.column);
}

INSTANTIATE_TEST_SUITE_P(
    Notation, SendKeysErrors,
    ::testing::Values(
        ErrorCase{"UnknownName", u"12{TABB}", 2, 1, 3, u"unknown key name {TABB}"},
        ErrorCase{"NoF17", u"{F17}", 0, 1, 1, u"unknown key name {F17}"},
        ErrorCase{"UnclosedBrace", u"ab{ENTER", 2, 1, 3, u"\"{\" is not closed by \"}\""},
        ErrorCase{"StrayClosingBrace", u"ab}c", 2, 1, 3, u"\"}\" has no matching \"{\""},
        ErrorCase{"EmptyBraces", u"a{}", 1, 1, 2, u"empty key name {}"},
        ErrorCase{"BlankName", u"{ 3}", 0, 1, 1, u"empty key name { 3}"},
        ErrorCase{"UnclosedGroup", u"+(ab", 1, 1, 2, u"\"(\" is not closed by \")\""},
        ErrorCase{"InnermostUnclosedGroup", u"(a(b)(c", 5, 1, 6, u"\"(\" is not closed by \")\""},
        ErrorCase{"StrayClosingParenthesis", u"ab)", 2, 1, 3, u"\")\" has no matching \"(\""},
        ErrorCase{"ModifierAtTheEnd", u"50%", 2, 1, 3,
                  u"\"%\" (Alt) at the end of the text is not followed by a key"},
        ErrorCase{"ModifiersAtTheEnd", u"x^+", 1, 1, 2,
                  u"\"^+\" (Ctrl+Shift) at the end of the text is not followed by a key"},
        ErrorCase{"ModifierBeforeGroupEnd", u"(a+)", 2, 1, 3,
                  u"\"+\" (Shift) is not followed by a key"},
        ErrorCase{"ModifierTwice", u"C++", 2, 1, 3,
                  u"\"+\" (Shift) is given twice for the same key"},
        ErrorCase{"ModifierAlreadyHeldByGroup", u"^(a^b)", 3, 1, 4,
                  u"\"^\" (Ctrl) is given twice for the same key"},
        ErrorCase{"CountNotANumber", u"{TAB 3x}", 5, 1, 6,
                  u"the repeat count \"3x\" in {TAB 3x} is not a whole number"},
        ErrorCase{"CountTooLarge", u"{TAB 10000}", 5, 1, 6,
                  u"the repeat count in {TAB 10000} is larger than 9999"},
        ErrorCase{"CountOverflowing", u"{a 99999999999999999999}", 3, 1, 4,
                  u"the repeat count in {a 99999999999999999999} is larger than 9999"},
        ErrorCase{"LongTokenIsCut", u"{ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMNOPQRSTUVWXYZ}", 0, 1,
                  1, u"unknown key name {ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKL\u2026"},
        ErrorCase{"LinesAndColumns", u"a\r\nb\n\rc\r\r{XY}", 9, 5, 1, u"unknown key name {XY}"},
        ErrorCase{"AstralCharacterCountsOnce", u"\U0001F600{XY}", 1, 1, 2,
                  u"unknown key name {XY}"}),
    [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

TEST(SendKeysMessage, NamesTheDescriptionAndThePlaceCountedFromOne)
{
    const SendKeysResult result = SendKeys::parse(QStringLiteral("ok\nab{TABB}"));
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error->message(),
              QStringLiteral("unknown key name {TABB} at line 2, column 3 (character 6)"));
}

TEST(SendKeysKeyString, DropsLineBreaksOnlyAndReportsPlacesInTheOriginalText)
{
    EXPECT_EQ(SendKeys::keyString(QStringLiteral("123{TAB}4{ENTER}\r\n5\n\r6\r")),
              QStringLiteral("123{TAB}4{ENTER}56"));

    // A token broken over two lines is one token once the line break is gone.
    const SendKeysResult joined = SendKeys::parseKeyString(QStringLiteral("a{TA\r\nB 2}"));
    ASSERT_TRUE(joined.ok());
    EXPECT_EQ(joined.keys, (std::vector<Keystroke>{ch('a'), key(K::Tab, {}, 2)}));

    const SendKeysResult failed = SendKeys::parseKeyString(QStringLiteral("12\r\n3{F17}\n"));
    ASSERT_FALSE(failed.ok());
    EXPECT_EQ(failed.error->position, 5);
    EXPECT_EQ(failed.error->line, 2);
    EXPECT_EQ(failed.error->column, 2);
}

} // namespace
