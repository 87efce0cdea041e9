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

namespace {

namespace fs = std::filesystem;

// Generates into a side folder and renames it into place, so an interrupted
// run never leaves a half store that later runs would time.
bool useThreeYearStore() {
  static const bool ready = [] {
    const fs::path cache = fs::temp_directory_path() / "corvane-bench-store-1095d-50000t-seed1";
    if (!fs::exists(cache)) {
      const fs::path partial = cache.string() + ".partial-" + std::to_string(getpid());
      fs::remove_all(partial);
      setenv("CORVANE_DEVICE_ROOT", partial.c_str(), 1);
      std::FILE* devnull = std::fopen("/dev/null", "w");
      auto start = std::chrono::steady_clock::now();
      int status = corvane::storetool::run(
          {"generate", "--days", "1095", "--titles", "50000", "--seed", "1"}, devnull, devnull);
      std::fclose(devnull);
      if (status != 0) return false;
      std::fprintf(stderr, "generated the three-year store in %.1f s\n",
                   std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
      std::error_code ec;
      fs::rename(partial, cache, ec);
      if (ec) fs::remove_all(partial);  // another run got there first
    }
    setenv("CORVANE_DEVICE_ROOT", cache.c_str(), 1);
    return true;
  }();
  return ready;
}

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
