#pragma once

#include "qelsimprocess.h"
#include "scratchdir.h"
#include "terminalfile.h"
#include "vorlak.h"

#include <array>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

/// A test that runs the real libvorlak against a real qel-sim: the simulator serves a terminal
/// file on a pseudo-terminal linked as <scratch>/com7, the port map (through XDG_CONFIG_HOME)
/// makes that port 7, and the state folder is <scratch>/state.
class SimTest : public ::testing::Test
{
protected:
    static constexpr int kPort = 7;
    static constexpr int kSpeed = 9600;
    static constexpr const char* kBody = "[Code]/[Qty]\r\n";
    static constexpr const char* kHeader = "Doc [Doc]";

    void SetUp() override
    {
        const std::filesystem::path config = m_dir.path() / "config";
        std::filesystem::create_directories(config / "vorlak");
        std::ofstream(config / "vorlak" / "ports.conf")
            << "# written by the test\nCOM" << kPort << "=" << (m_dir / "com7") << "\n";
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    }

    void TearDown() override
    {
        I_CloseCom(kPort);
        IO_Close(kPort);
        m_sim.reset();
    }

    /// Starts qel-sim for `terminal` with `options` and opens the port for the terminal.
    void start(const TerminalFile& terminal, std::vector<std::string> options = {})
    {
        terminal.write(m_dir / "terminal.json");
        std::vector<std::string> args{"--terminal", m_dir / "terminal.json",
                                      "--link",     m_dir / "com7",
                                      "--state",    m_dir / "state"};
        args.insert(args.end(), options.begin(), options.end());
        m_sim = std::make_unique<QelSimProcess>();
        ASSERT_TRUE(m_sim->start(args)) << m_sim->errorOutput();
        ASSERT_EQ(I_OpenCom(kPort, kSpeed), 0);
    }

    [[nodiscard]] std::vector<std::string> events() const
    {
        std::ifstream in(m_dir.path() / "state" / "events.log");
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }

    [[nodiscard]] std::string stateFile(const std::string& relative) const
    {
        std::ifstream in(m_dir.path() / "state" / relative, std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }

    /// The text behind the last reading's token.
    [[nodiscard]] std::string text(std::int32_t length) const
    {
        std::string buffer(static_cast<std::size_t>(std::max(0, length)), ' ');
        GetStringFromPtr(buffer.data(), m_token, length);
        return buffer;
    }

    /// A reading as the program drives it: with a header template, header -1, entries -1,
    /// header -2, ... until a call answers below 0; without one, a single entries -1.
    struct Reading
    {
        std::string text;
        std::vector<std::int32_t> results;
    };
    Reading read(const char* headerTemplate, const char* bodyTemplate)
    {
        Reading reading;
        for (std::int32_t index = -1;; --index) {
            if (headerTemplate != nullptr) {
                const std::int32_t n = I_ReadHeader(m_id.data(), headerTemplate, index, &m_token);
                reading.results.push_back(n);
                if (n < 0) {
                    break;
                }
                reading.text += text(n) + "\n";
            }
            const std::int32_t n = I_ReadEntries(m_id.data(), bodyTemplate, index, &m_token);
            reading.results.push_back(n);
            if (n < 0) {
                break;
            }
            reading.text += text(n);
            if (headerTemplate == nullptr) {
                break;
            }
        }
        return reading;
    }

    /// What read() gives for `terminal` with kHeader (or none) and kBody.
    static std::string expectedText(const TerminalFile& terminal, bool withHeaders)
    {
        std::string out;
        for (const auto& document : terminal.documents) {
            if (withHeaders) {
                out += "Doc " + document.header.at(0).second + "\n";
            }
            for (const auto& entry : document.entries) {
                out += entry.at(0).second + "/" + entry.at(1).second + "\r\n";
            }
        }
        return out;
    }

    [[nodiscard]] std::string id() const { return std::string(m_id.data(), 8); }

    /// Presence checks until one answers 1: how many were made, 0 if none answered within
    /// `limit`. A check gives the terminal 160 ms, as the polling cycle needs, and a loaded
    /// machine may not run the simulator within that; the program's timer then simply asks again
    /// on its next tick. A check that is not answered must say "no terminal", never an error.
    /// The simulator logs every check it serves, also one served after the check gave up.
    int checksUntilAnswered(std::chrono::milliseconds limit = std::chrono::seconds(20))
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        int checks = 0;
        while (std::chrono::steady_clock::now() < deadline) {
            const std::int32_t result = I_CheckTerminal(m_id.data());
            ++checks;
            if (result == 1) {
                return checks;
            }
            EXPECT_EQ(result, 0) << "check " << checks;
        }
        return 0;
    }

    ScratchDir m_dir;
    std::unique_ptr<QelSimProcess> m_sim;
    std::array<char, 9> m_id{' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', '\0'};
    std::int32_t m_token = 0;
};
