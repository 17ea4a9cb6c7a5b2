#include "shell/commandline.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

std::vector<std::string_view> args(std::initializer_list<std::string_view> list)
{
    return list;
}

TEST(CommandLineTest, NoArgumentStartsTheProgram)
{
    const CommandLineAnswer answer = answerCommandLine(args({}));
    EXPECT_TRUE(answer.startProgram);
    EXPECT_TRUE(answer.standardOutput.empty());
    EXPECT_TRUE(answer.errorOutput.empty());

    const char* argv[] = {"kolbrin"};
    EXPECT_TRUE(answerCommandLine(1, argv).startProgram);
}

TEST(CommandLineTest, VersionIsTheProjectVersion)
{
    for (const std::string_view option : {"--version", "-v"}) {
        SCOPED_TRACE(std::string(option));
        const CommandLineAnswer answer = answerCommandLine(args({option}));
        EXPECT_FALSE(answer.startProgram);
        EXPECT_EQ(answer.exitStatus, 0);
        EXPECT_EQ(answer.standardOutput, "Kolbrin " KOLBRIN_PROJECT_VERSION "\n");
        EXPECT_TRUE(answer.errorOutput.empty());
    }
}

TEST(CommandLineTest, HelpPrintsTheUsageOnStandardOutput)
{
    for (const std::string_view option : {"--help", "-h"}) {
        SCOPED_TRACE(std::string(option));
        const CommandLineAnswer answer = answerCommandLine(args({option}));
        EXPECT_FALSE(answer.startProgram);
        EXPECT_EQ(answer.exitStatus, 0);
        EXPECT_EQ(answer.standardOutput, commandLineUsage());
        EXPECT_TRUE(answer.errorOutput.empty());
    }
    EXPECT_EQ(commandLineUsage().rfind("Usage: kolbrin [--help | --version]\n", 0), 0u);
}

TEST(CommandLineTest, FirstOptionDecides)
{
    EXPECT_EQ(answerCommandLine(args({"--help", "--version"})).standardOutput, commandLineUsage());
    EXPECT_EQ(answerCommandLine(args({"-v", "-h"})).standardOutput, versionLine());
}

// Qt's own options (-platform, -style, ...) are not taken either: the program has none to pass
// on, and a silently ignored argument is worse than a clear refusal.
TEST(CommandLineTest, AnythingElseIsAUsageErrorNamingTheArgument)
{
    struct Case
    {
        std::vector<std::string_view> arguments;
        std::string named;
    };
    const std::vector<Case> cases = {
        {{"--bogus"}, "--bogus"},
        {{"shop.txt"}, "shop.txt"},
        {{""}, ""},
        {{"--help=1"}, "--help=1"},
        {{"--HELP"}, "--HELP"},
        {{"-hv"}, "-hv"},
        {{"--version", "extra"}, "extra"},
        {{"-platform", "offscreen"}, "-platform"},
        {{"--help", "x", "y"}, "x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.named);
        const CommandLineAnswer answer = answerCommandLine(c.arguments);
        EXPECT_FALSE(answer.startProgram);
        EXPECT_EQ(answer.exitStatus, 2);
        EXPECT_TRUE(answer.standardOutput.empty());
        EXPECT_EQ(answer.errorOutput,
                  "kolbrin: unknown argument '" + c.named + "'\n\n" + commandLineUsage());
    }
}

} // namespace
