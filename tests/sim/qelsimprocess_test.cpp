// The qel-sim program itself, run as users and the other tests run it.
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <qelsimprocess.h>
#include <sys/stat.h>
#include <tempdir.h>

using ::testing::HasSubstr;
namespace fs = std::filesystem;

namespace {

class QelSim : public TempDirTest
{
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        m_root = path().toStdString();
        write("t.json", R"({"id": "T1", "documents": [{"header": {"Doc": "1"}}]})");
    }

    std::string file(const std::string& name) const { return (m_root / name).string(); }

    void write(const std::string& name, const std::string& text) const
    {
        std::ofstream(m_root / name, std::ios::binary) << text;
    }

    fs::path m_root;
};

} // namespace

TEST_F(QelSim, ServesOnAPseudoTerminalBehindTheLinkAndTidiesUpHowEverItEnds)
{
    enum class End { Quit, EndOfInput, Signal };
    for (const End end : {End::Quit, End::EndOfInput, End::Signal}) {
        SCOPED_TRACE(static_cast<int>(end));
        QelSimProcess sim;
        const std::string link = file("com1");
        ASSERT_TRUE(sim.start({"--terminal", file("t.json"), "--link", link})) << sim.errorOutput();
        struct stat info
        {
        };
        ASSERT_EQ(stat(sim.slavePath().c_str(), &info), 0);
        EXPECT_TRUE(S_ISCHR(info.st_mode));
        EXPECT_EQ(fs::read_symlink(link), sim.slavePath());
        EXPECT_TRUE(sim.command("remove"));
        EXPECT_TRUE(sim.command("place"));

        switch (end) {
        case End::Quit:
            sim.send("quit");
            break;
        case End::EndOfInput:
            sim.closeInput();
            break;
        case End::Signal:
            kill(sim.pid(), SIGTERM);
            break;
        }
        EXPECT_EQ(sim.wait(), 0) << sim.errorOutput();
        EXPECT_FALSE(fs::exists(fs::symlink_status(link))) << "the link outlived the program";
    }
}

TEST_F(QelSim, ReplacesAStaleLinkButNothingElse)
{
    const std::string link = file("com1");
    fs::create_symlink("/dev/pts/nonexistent", link);
    {
        QelSimProcess sim;
        ASSERT_TRUE(sim.start({"--terminal", file("t.json"), "--link", link})) << sim.errorOutput();
        EXPECT_EQ(fs::read_symlink(link), sim.slavePath());
    }
    const std::string occupied = file("notes");
    write("notes", "keep me");
    QelSimProcess sim;
    ASSERT_TRUE(sim.launch({"--terminal", file("t.json"), "--link", occupied}));
    EXPECT_EQ(sim.wait(), 1);
    EXPECT_THAT(sim.errorOutput(), HasSubstr(occupied));
    EXPECT_EQ(sim.output(), "") << "it must not say ready";
    std::ifstream in(occupied);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "keep me");
}

TEST_F(QelSim, KeepsTheTerminalInTheStateFolder)
{
    QelSimProcess sim;
    ASSERT_TRUE(sim.start({"--terminal", file("t.json"), "--state", file("state"), "--removed"}))
        << sim.errorOutput();
    EXPECT_TRUE(fs::exists(file("state/terminal.json")));
    EXPECT_TRUE(fs::exists(file("state/events.log")));
    EXPECT_TRUE(fs::is_directory(file("state/lists")));
    sim.closeInput();
    EXPECT_EQ(sim.wait(), 0);
    std::ifstream in(file("state/terminal.json"));
    EXPECT_THAT(std::string(std::istreambuf_iterator<char>(in), {}), HasSubstr("\"T1\""));
}

TEST_F(QelSim, BadCommandLinesGetTheUsage)
{
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"--terminal"},
        {"--terminal", file("t.json"), "--bogus"},
        {"--terminal", file("t.json"), "--noise", "2", "--seed", "1"},
        {"--terminal", file("t.json"), "--noise", "0.5"},
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(::testing::PrintToString(args));
        QelSimProcess sim;
        ASSERT_TRUE(sim.launch(args));
        EXPECT_EQ(sim.wait(), 2);
        EXPECT_THAT(sim.errorOutput(), HasSubstr("usage: qel-sim --terminal FILE"));
        EXPECT_EQ(sim.output(), "");
    }
    QelSimProcess help;
    ASSERT_TRUE(help.launch({"--help"}));
    EXPECT_EQ(help.wait(), 0);
    EXPECT_THAT(help.output(), HasSubstr("usage: qel-sim --terminal FILE"));
}

TEST_F(QelSim, UnusableTerminalFilesEndWithStatus2AndThePlace)
{
    write("bad.json", "{\n  \"id\": \"T1\",\n  \"documents\": [ {\"header\": } ]\n}\n");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {file("bad.json"), file("bad.json") + ":3:29: malformed JSON"},
        {file("none.json"), file("none.json") + ": cannot open"},
    };
    for (const auto& [terminal, says] : cases) {
        SCOPED_TRACE(terminal);
        QelSimProcess sim;
        ASSERT_TRUE(sim.launch({"--terminal", terminal, "--link", file("com1")}));
        EXPECT_EQ(sim.wait(), 2);
        EXPECT_THAT(sim.errorOutput(), HasSubstr(says));
        EXPECT_FALSE(fs::exists(fs::symlink_status(file("com1"))));
    }
}

TEST_F(QelSim, TakesModemCommandsWithoutAModem)
{
    QelSimProcess sim;
    ASSERT_TRUE(sim.start({"--terminal", file("t.json")}));
    EXPECT_TRUE(sim.command("call"));
    EXPECT_TRUE(sim.command("hangup"));
    sim.send("fly away");
    EXPECT_TRUE(sim.command("place")) << "an unknown command must not stop it";
    sim.send("quit");
    EXPECT_EQ(sim.wait(), 0);
    EXPECT_THAT(sim.errorOutput(), HasSubstr("call: there is no modem on this line"));
    EXPECT_THAT(sim.errorOutput(), HasSubstr("unknown command 'fly away'"));
}
