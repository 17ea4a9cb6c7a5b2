#pragma once

#include <map>
#include <string>

/// Runs the registered Google benchmarks and prints one line per benchmark:
/// "name value unit target", the value being the mean wall time of one iteration.
/// targets maps a benchmark name to its target text ("-" when it has none).
int runBenchmarks(int argc, char** argv, const std::map<std::string, std::string>& targets);
