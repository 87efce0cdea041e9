// The store tool on three years of history (1,095 days, 50,000 titles): the
// year's ranking people ask for most, the whole diary's export and the year
// in review (also as a process, for its peak memory; goal 0.5 s, 64 MB). The
// history is generated once and kept in the temporary folder for later runs.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
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

void BM_ReportYear(benchmark::State& state) {
  runTool(state, {"report", "--year", "2021"});
}
BENCHMARK(BM_ReportYear)->Unit(benchmark::kMillisecond);

// The tool as the user runs it: wall time and peak RSS of the child.
void BM_ReportYearProcess(benchmark::State& state) {
  if (!useThreeYearStore()) return state.SkipWithError("cannot generate the store");
  double peak = 0;
  for (auto _ : state) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::string program = CORVANE_STORE_TOOL, command = "report", option = "--year", year = "2021";
    char* argv[] = {program.data(), command.data(), option.data(), year.data(), nullptr};
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    if (spawned != 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
      return state.SkipWithError("the tool failed");
    peak = std::max(peak, usage.ru_maxrss / 1024.0);  // KiB on Linux
  }
  state.counters["peak_rss_MB"] = peak;
}
BENCHMARK(BM_ReportYearProcess)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
