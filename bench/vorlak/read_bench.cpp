// Reading 10,000 records through libvorlak from qel-sim over a pseudo-terminal.
//
//   vorlak_read_10000_line_ratio: with --line-rate at 9600 baud, the reading's time divided by
//     the time its payload alone needs on the line (payload bytes x 10 bits / 9600). The
//     payload is the record stream the reading carries (docs/protocol.md); everything else
//     (framing, page requests, turnarounds) is the protocol's cost. Target: at most 1.15.
//   vorlak_read_10000_records_per_second: the same reading without pacing (best of five).
//   vorlak_read_100_documents_records_per_second: 100 documents of 100 records read with a
//     header template, header and entries call per document (best of five).
#include "protocol/recordstream.h"
#include "qelsimprocess.h"
#include "scratchdir.h"
#include "terminalfile.h"
#include "vorlak.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kPort = 7;
constexpr int kSpeed = 9600;
constexpr const char* kBody = "[Code][XXXXXXXX][Qty][XXXX]\r\n";

// The record stream a terminal sends for these documents' entries.
std::size_t payloadBytes(const TerminalFile& terminal)
{
    std::vector<vorlak::Record> records;
    for (const auto& document : terminal.documents) {
        for (const auto& entry : document.entries) {
            vorlak::Record record;
            for (const auto& [name, value] : entry) {
                record.push_back({name, value});
            }
            records.push_back(std::move(record));
        }
    }
    return vorlak::protocol::encodeRecords(records).size();
}

/// qel-sim serving `terminal` as port 7, opened for the terminal protocol.
class Bench
{
public:
    Bench(const TerminalFile& terminal, const std::vector<std::string>& options)
    {
        const auto config = m_dir.path() / "config";
        std::filesystem::create_directories(config / "vorlak");
        std::ofstream(config / "vorlak" / "ports.conf")
            << "COM" << kPort << "=" << (m_dir / "com7") << "\n";
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        terminal.write(m_dir / "terminal.json");
        std::vector<std::string> args{"--terminal", m_dir / "terminal.json", "--link",
                                      m_dir / "com7"};
        args.insert(args.end(), options.begin(), options.end());
        m_ok =
            m_sim.start(args) && I_OpenCom(kPort, kSpeed) == 0 && I_CheckTerminal(m_id.data()) == 1;
        if (!m_ok) {
            std::fprintf(stderr, "bench_vorlak_read: qel-sim did not answer: %s\n",
                         m_sim.errorOutput().c_str());
        }
    }
    ~Bench() { I_CloseCom(kPort); }
    Bench(const Bench&) = delete;
    Bench& operator=(const Bench&) = delete;

    [[nodiscard]] bool ok() const { return m_ok; }

    /// Seconds one reading takes (without header template, or with one), or a negative value
    /// when it does not deliver `expectedRecords` entries.
    double read(bool withHeaders, std::size_t expectedRecords)
    {
        std::int32_t token = 0;
        std::size_t records = 0;
        const auto start = Clock::now();
        for (std::int32_t index = -1;; --index) {
            if (withHeaders && I_ReadHeader(m_id.data(), "[Doc]", index, &token) < 0) {
                break;
            }
            const std::int32_t n = I_ReadEntries(m_id.data(), kBody, index, &token);
            if (n < 0) {
                return -1.0;
            }
            std::string text(static_cast<std::size_t>(n), ' ');
            GetStringFromPtr(text.data(), token, n);
            records += static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
            if (!withHeaders) {
                break;
            }
        }
        const std::chrono::duration<double> took = Clock::now() - start;
        return records == expectedRecords ? took.count() : -1.0;
    }

private:
    ScratchDir m_dir;
    QelSimProcess m_sim;
    std::array<char, 9> m_id{' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', '\0'};
    bool m_ok = false;
};

double bestOf(int runs, Bench& bench, bool withHeaders, std::size_t records)
{
    double best = -1.0;
    for (int i = 0; i < runs; ++i) {
        const double seconds = bench.read(withHeaders, records);
        if (seconds < 0) {
            return -1.0;
        }
        best = best < 0 ? seconds : std::min(best, seconds);
    }
    return best;
}

} // namespace

int main()
{
    int status = 0;
    const TerminalFile flat = TerminalFile::numbered(1, 10000);
    {
        Bench bench(flat, {"--line-rate"});
        const double seconds = bench.ok() ? bench.read(false, 10000) : -1.0;
        const double lineSeconds = static_cast<double>(payloadBytes(flat)) * 10.0 / kSpeed;
        if (seconds > 0) {
            std::printf("vorlak_read_10000_line_ratio %.3f ratio <=1.15\n", seconds / lineSeconds);
        } else {
            std::printf("vorlak_read_10000_line_ratio failed ratio <=1.15\n");
            status = 1;
        }
        std::fflush(stdout);
    }
    {
        Bench bench(flat, {});
        const double seconds = bench.ok() ? bestOf(5, bench, false, 10000) : -1.0;
        if (seconds > 0) {
            std::printf("vorlak_read_10000_records_per_second %.0f records/s -\n",
                        10000.0 / seconds);
        } else {
            std::printf("vorlak_read_10000_records_per_second failed records/s -\n");
            status = 1;
        }
        std::fflush(stdout);
    }
    {
        const TerminalFile documents = TerminalFile::numbered(100, 100);
        Bench bench(documents, {});
        const double seconds = bench.ok() ? bestOf(5, bench, true, 10000) : -1.0;
        if (seconds > 0) {
            std::printf("vorlak_read_100_documents_records_per_second %.0f records/s -\n",
                        10000.0 / seconds);
        } else {
            std::printf("vorlak_read_100_documents_records_per_second failed records/s -\n");
            status = 1;
        }
        std::fflush(stdout);
    }
    return status;
}
