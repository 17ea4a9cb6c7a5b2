#include "benchmain.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <vector>

namespace {

const char* unitName(benchmark::TimeUnit unit)
{
    switch (unit) {
    case benchmark::kNanosecond:
        return "ns";
    case benchmark::kMicrosecond:
        return "us";
    case benchmark::kMillisecond:
        return "ms";
    case benchmark::kSecond:
        return "s";
    }
    return "?";
}

class LineReporter : public benchmark::BenchmarkReporter
{
public:
    explicit LineReporter(const std::map<std::string, std::string>& targets)
        : m_targets(targets)
    {
    }
    bool ReportContext(const Context&) override { return true; }
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration) {
                continue;
            }
            const std::string name = run.benchmark_name();
            const auto target = m_targets.find(name);
            std::printf("%s %.3f %s %s\n", name.c_str(), run.GetAdjustedRealTime(),
                        unitName(run.time_unit),
                        target == m_targets.end() ? "-" : target->second.c_str());
        }
        std::fflush(stdout);
    }

private:
    const std::map<std::string, std::string>& m_targets;
};

} // namespace

int runBenchmarks(int argc, char** argv, const std::map<std::string, std::string>& targets)
{
    benchmark::Initialize(&argc, argv);
    LineReporter reporter(targets);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
