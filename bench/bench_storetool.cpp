// The store tool on three years of history (1,095 days, 50,000 titles): the
// year's ranking people ask for most, and the whole diary's export. The
// history is generated once and kept in the temporary folder for later runs.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "StoreTool.h"
#include "ThreeYearStore.h"

namespace {

namespace fs = std::filesystem;

void runTool(benchmark::State& state, const std::vector<std::string>& args) {
  if (!useThreeYearStore()) return state.SkipWithError("cannot generate the store");
  std::FILE* devnull = std::fopen("/dev/null", "w");
  for (auto _ : state)
    if (corvane::storetool::run(args, devnull, devnull) != 0) state.SkipWithError("tool failed");
  std::fclose(devnull);
}

void BM_TopLastYear(benchmark::State& state) {
  runTool(state, {"top", "--last", "year"});
}
BENCHMARK(BM_TopLastYear)->Unit(benchmark::kMillisecond);

void BM_TopLastYearByRecordAndPlays(benchmark::State& state) {
  runTool(state, {"top", "--last", "year", "--group", "record", "--by", "plays"});
}
BENCHMARK(BM_TopLastYearByRecordAndPlays)->Unit(benchmark::kMillisecond);

void BM_ExportWholeDiaryCsv(benchmark::State& state) {
  runTool(state, {"export", "--format", "csv"});
}
BENCHMARK(BM_ExportWholeDiaryCsv)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
