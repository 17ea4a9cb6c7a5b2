#include "common/settingsconversions.h"

#include <gtest/gtest.h>

namespace C = SettingsConversions;

TEST(SettingsConversions, OptionStatesAcceptWordsInAnyCaseAndNumbers)
{
    struct Case
    {
        const char* text;
        std::optional<bool> expected;
    };
    const Case cases[] = {
        {"True", true}, {"FALSE", false}, {"true", true}, {" False ", false}, {"0", false},
        {"1", true},    {"-1", true},     {"2.5", true},  {"0.0", false},     {"yes", {}},
        {"", {}},       {"1abc", {}},     {"Truth", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(C::optionState(QString::fromLatin1(c.text)), c.expected) << c.text;
    }
}

TEST(SettingsConversions, CheckStatesTakeTheLeadingNumberWithinSixteenBits)
{
    struct Case
    {
        const char* text;
        std::optional<std::int16_t> expected;
    };
    const Case cases[] = {
        {"0", 0},      {"1", 1},      {"1abc", 1},      {"abc", 0},
        {"", 0},       {"  7", 7},    {"-3", -3},       {"2.5", 2},
        {"3.5", 4},    {"1e2", 100},  {"32767", 32767}, {"-32768", -32768},
        {"70000", {}}, {"32768", {}}, {"-32769", {}},   {"9e999", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(C::checkState(QString::fromLatin1(c.text)), c.expected) << c.text;
    }
}

TEST(SettingsConversions, CheckFlagsNeverFail)
{
    EXPECT_FALSE(C::checkFlag(QStringLiteral("0")));
    EXPECT_FALSE(C::checkFlag(QStringLiteral("no")));
    EXPECT_TRUE(C::checkFlag(QStringLiteral("1")));
    EXPECT_TRUE(C::checkFlag(QStringLiteral("70000")));
    EXPECT_TRUE(C::checkFlag(QStringLiteral("9e999")));
}

TEST(SettingsConversions, ComPortTakesTheWholeNumberThatEndsTheText)
{
    struct Case
    {
        const char* text;
        std::optional<std::int32_t> expected;
    };
    const Case cases[] = {
        {"Com1", 1},   {"Com3", 3},   {"COM3", 3},   {"Com9", 9},
        {"Com10", 10}, {"Com12", 12}, {"Com16", 16}, {"Com", 0},
        {"", 0},       {"Com3x", 0},  {"7", 7},      {"Com99999999999", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(C::comPortNumber(QString::fromLatin1(c.text)), c.expected) << c.text;
    }
}
