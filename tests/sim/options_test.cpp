#include "options.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using qelsim::Options;
using qelsim::parseOptions;
using qelsim::UsageError;
using ::testing::HasSubstr;

TEST(CommandLine, TakesEveryOption)
{
    const Options o = parseOptions({"--terminal", "t.json", "--link", "/tmp/com1", "--state", "st",
                                    "--removed", "--modem", "--line-rate", "--noise", "0.01",
                                    "--seed", "18446744073709551615", "--upload-fail", "3"});
    EXPECT_EQ(o.terminalFile, "t.json");
    EXPECT_EQ(o.link, "/tmp/com1");
    EXPECT_EQ(o.stateDir, "st");
    EXPECT_TRUE(o.removed);
    EXPECT_TRUE(o.modem);
    EXPECT_TRUE(o.lineRate);
    EXPECT_DOUBLE_EQ(o.noise, 0.01);
    EXPECT_EQ(o.seed, 18446744073709551615ULL);
    EXPECT_EQ(o.uploadFail, 3U);

    const Options minimal = parseOptions({"--terminal=t.json"});
    EXPECT_EQ(minimal.terminalFile, "t.json");
    EXPECT_FALSE(minimal.removed || minimal.modem || minimal.lineRate);
    EXPECT_EQ(minimal.noise, 0.0);
    EXPECT_TRUE(parseOptions({"--help"}).help);
}

TEST(CommandLine, RefusesWhatItCannotUse)
{
    struct Case
    {
        std::vector<std::string> args;
        const char* says;
    };
    const Case cases[] = {
        {{}, "--terminal FILE is required"},
        {{"--terminal"}, "--terminal needs a value"},
        {{"--terminal", "a", "--terminal", "b"}, "given twice"},
        {{"--terminal", "a", "--speed", "9600"}, "unknown option --speed"},
        {{"--terminal", "a", "extra"}, "unexpected argument 'extra'"},
        {{"--terminal", "a", "--removed=yes"}, "--removed takes no value"},
        {{"--terminal", "a", "--noise", "0.1"}, "--noise needs --seed"},
        {{"--terminal", "a", "--noise", "1.5", "--seed", "1"}, "probability from 0 to 1"},
        {{"--terminal", "a", "--noise", "nan", "--seed", "1"}, "probability from 0 to 1"},
        {{"--terminal", "a", "--noise", "0.1", "--seed", "-3"}, "whole number"},
        {{"--terminal", "a", "--noise", "0.1", "--seed", "99999999999999999999"}, "whole number"},
        {{"--terminal", "a", "--upload-fail", "-1"}, "--upload-fail takes a whole number"},
        {{"--terminal", "a", "--upload-fail", "4294967296"}, "--upload-fail takes a whole number"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says);
        try {
            (void)parseOptions(c.args);
            ADD_FAILURE() << "accepted";
        } catch (const UsageError& e) {
            EXPECT_THAT(e.what(), HasSubstr(c.says));
        }
    }
}
