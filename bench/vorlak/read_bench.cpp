// Reading 10,000 records through libvorlak from qel-sim over a pseudo-terminal.
//
//   vorlak_read_10000_line_ratio: with --line-rate at 9600 baud, the reading's time divided by
//     the time its payload alone needs on the line (payload bytes x 10 bits / 9600). The
//     payload is the record stream the reading carries (docs/protocol.md); everything else
//     (framing, page requests, turnarounds) is the protocol's cost. Target: at most 1.15.
//   vorlak_read_10000_noise1pct_vs_clean, vorlak_read_10000_noise01pct_vs_clean: the same paced
//     reading on a line that damages or loses 1 % (0.1 %) of the bytes the terminal sends,
//     divided by the clean reading's time. Every record must arrive exactly once. Targets: at
//     most 2.5 and 1.3.
//   vorlak_sendlist_200k_noise1pct_vs_clean: I_SendList of 200 KB, paced, with 1 % of the
//     terminal's replies' bytes damaged, divided by the clean time. Target: at most 1.1.
//   vorlak_read_10000_records_per_second: the same reading without pacing (best of five).
//   vorlak_read_100_documents_records_per_second: 100 documents of 100 records read with a
//     header template, header and entries call per document (best of five).
#include "qelsimprocess.h"
#include "scratchdir.h"
#include "terminalpayload.h"
#include "vorlak.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kPort = 7;
constexpr int kSpeed = 9600;
constexpr const char* kBody = "[Code][XXXXXXXX][Qty][XXXX]\r\n";

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

    /// Seconds I_SendList of `list` takes, or a negative value when it fails.
    double timeList(const std::string& list)
    {
        const auto start = Clock::now();
        const std::int32_t result = I_SendList(m_id.data(), "bench", list.data(),
                                               static_cast<std::int32_t>(list.size()), 1);
        const std::chrono::duration<double> took = Clock::now() - start;
        if (result != 1) {
            std::fprintf(stderr, "bench_vorlak_read: I_SendList answered %d\n", result);
        }
        return result == 1 ? took.count() : -1.0;
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

// Seconds I_SendList of `bytes` takes, or a negative value when it fails.
double sendList(Bench& bench, std::size_t bytes)
{
    std::string list(bytes, '\0');
    for (std::size_t i = 0; i < list.size(); ++i) {
        list[i] = static_cast<char>(i * 13 + i / 97);
    }
    return bench.timeList(list);
}

void printRatio(const char* name, double seconds, double reference, const char* target, int& status)
{
    if (seconds > 0 && reference > 0) {
        std::fprintf(stderr, "%s: %.1f s against %.1f s\n", name, seconds, reference);
        std::printf("%s %.3f ratio %s\n", name, seconds / reference, target);
    } else {
        std::printf("%s failed ratio %s\n", name, target);
        status = 1;
    }
    std::fflush(stdout);
}

int main()
{
    int status = 0;
    // KOLBRIN_BENCH_RECORDS shortens the paced readings for a quick look.
    const char* override = std::getenv("KOLBRIN_BENCH_RECORDS");
    const int paced = override != nullptr ? std::max(100, std::atoi(override)) : 10000;
    const TerminalFile flat = TerminalFile::numbered(1, 10000);
    const TerminalFile pacedFile = TerminalFile::numbered(1, paced);
    const auto pacedRecords = static_cast<std::size_t>(paced);
    double clean = -1.0;
    {
        Bench bench(pacedFile, {"--line-rate"});
        clean = bench.ok() ? bench.read(false, pacedRecords) : -1.0;
        const double lineSeconds =
            static_cast<double>(terminalPayloadBytes(pacedFile)) * 10.0 / kSpeed;
        printRatio("vorlak_read_10000_line_ratio", clean, lineSeconds, "<=1.15", status);
    }
    const std::pair<const char*, const char*> noisy[] = {
        {"0.01", "vorlak_read_10000_noise1pct_vs_clean"},
        {"0.001", "vorlak_read_10000_noise01pct_vs_clean"}};
    for (const auto& [noise, name] : noisy) {
        Bench bench(pacedFile, {"--line-rate", "--noise", noise, "--seed", "7"});
        const double seconds = bench.ok() ? bench.read(false, pacedRecords) : -1.0;
        printRatio(name, seconds, clean, std::string_view(noise) == "0.01" ? "<=2.5" : "<=1.3",
                   status);
    }
    {
        const std::size_t listBytes = override != nullptr ? 20000 : 200000;
        double cleanList = -1.0;
        double noisyList = -1.0;
        {
            Bench cleanLine(flat, {"--line-rate"});
            cleanList = cleanLine.ok() ? sendList(cleanLine, listBytes) : -1.0;
        }
        {
            Bench noisyLine(flat, {"--line-rate", "--noise", "0.01", "--seed", "7"});
            noisyList = noisyLine.ok() ? sendList(noisyLine, listBytes) : -1.0;
        }
        printRatio("vorlak_sendlist_200k_noise1pct_vs_clean", noisyList, cleanList, "<=1.1",
                   status);
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
