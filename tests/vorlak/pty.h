#pragma once

#include <array>
#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
#include <string>
#include <unistd.h>

/// A pseudo-terminal owned by a test: the test plays the far end on the master side, the code
/// under test opens the slave path like any serial device.
class TestPty
{
public:
    TestPty()
    {
        m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        std::array<char, 128> name{};
        if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0 ||
            ptsname_r(m_master, name.data(), name.size()) != 0) {
            throw std::runtime_error("no pseudo-terminal");
        }
        m_slavePath = name.data();
    }
    ~TestPty() { closeMaster(); }
    TestPty(const TestPty&) = delete;
    TestPty& operator=(const TestPty&) = delete;

    [[nodiscard]] int master() const { return m_master; }
    [[nodiscard]] const std::string& slavePath() const { return m_slavePath; }
    void closeMaster()
    {
        if (m_master >= 0) {
            close(m_master);
            m_master = -1;
        }
    }

private:
    int m_master = -1;
    std::string m_slavePath;
};
