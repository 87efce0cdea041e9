// The store tool on three years of history (1,095 days, 50,000 titles): the
// year's ranking people ask for most, the whole diary's export, the year in
// review and the year's calendar and top-20 charts (these three also as a
// process, for peak memory; goal 0.5 s, 64 MB each). The history is
// generated once and kept in the temporary folder for later runs.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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

// The pictures go to a file of their own: a chart is written beside its
// target and renamed over it, which /dev/null does not allow.
std::string chartFile(const char* extension) {
  return (fs::temp_directory_path() /
          ("corvane-bench-chart-" + std::to_string(getpid()) + extension))
      .string();
}

void BM_ChartCalendarYear(benchmark::State& state) {
  runTool(state, {"chart", "calendar", "--year", "2021", "--out", chartFile(".png")});
}
BENCHMARK(BM_ChartCalendarYear)->Unit(benchmark::kMillisecond);

void BM_ChartTop20Year(benchmark::State& state) {
  runTool(state, {"chart", "top", "--from", "2021-01-01", "--to", "2021-12-31", "--out",
                  chartFile(".png")});
}
BENCHMARK(BM_ChartTop20Year)->Unit(benchmark::kMillisecond);

// The tool as the user runs it: wall time and peak RSS of the process. A
// child's peak counts the memory of the process it was started from (a
// spawned child shares it until exec), so this program, started afresh
// with --measure and still small, starts the tool and prints its figures.
constexpr const char* kMeasure = "--measure";

int measure(char** argv) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    const int devnull = open("/dev/null", O_WRONLY);
    dup2(devnull, 1);
    dup2(devnull, 2);
    execv(argv[0], argv);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) return 1;
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%.6f %ld\n", seconds, usage.ru_maxrss);  // KiB on Linux
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

void runProcess(benchmark::State& state, std::vector<std::string> args) {
  if (!useThreeYearStore()) return state.SkipWithError("cannot generate the store");
  const std::string self = fs::read_symlink("/proc/self/exe").string();
  const std::string figures = chartFile(".figures");
  args.insert(args.begin(), {self, kMeasure, CORVANE_STORE_TOOL});
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  double peak = 0;
  for (auto _ : state) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, figures.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    double seconds = 0;
    long kib = 0;
    std::FILE* f = nullptr;
    const bool ran = spawned == 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
                     WEXITSTATUS(status) == 0 && (f = std::fopen(figures.c_str(), "r")) &&
                     std::fscanf(f, "%lf %ld", &seconds, &kib) == 2;
    if (f) std::fclose(f);
    if (!ran) return state.SkipWithError("the tool failed");
    state.SetIterationTime(seconds);
    peak = std::max(peak, kib / 1024.0);
  }
  fs::remove(figures);
  state.counters["peak_rss_MB"] = peak;
}

void BM_ReportYearProcess(benchmark::State& state) {
  runProcess(state, {"report", "--year", "2021"});
}
BENCHMARK(BM_ReportYearProcess)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_ChartCalendarYearProcess(benchmark::State& state) {
  runProcess(state, {"chart", "calendar", "--year", "2021", "--out", chartFile(".png")});
}
BENCHMARK(BM_ChartCalendarYearProcess)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_ChartTop20YearProcess(benchmark::State& state) {
  runProcess(state, {"chart", "top", "--from", "2021-01-01", "--to", "2021-12-31", "--out",
                     chartFile(".png")});
}
BENCHMARK(BM_ChartTop20YearProcess)->Unit(benchmark::kMillisecond)->UseManualTime();

}  // namespace

// The charts' picture, gone after the run.
int main(int argc, char** argv) {
  if (argc > 2 && std::string(argv[1]) == kMeasure) return measure(argv + 2);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  fs::remove(chartFile(".png"));
  return 0;
}
