// The app's cold start as a user meets it: the installed program started as
// a new process on a device root, timed on the wall clock until it has drawn
// its first frame and ended (CORVANE_EXIT_AFTER_FIRST_FRAME, headless: the
// frame is drawn off-screen at the screen's scale). The figure includes
// loading the program and its libraries and the clean exit after the frame;
// the files are in the page cache (one untimed start first).
//
// Each repetition is one start; the aggregates give the median and the
// spread over many. The counters are the child's CPU time (user + system,
// from wait4) and its peak resident memory; the CPU column is only the
// benchmark's own.
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

#include "ThreeYearStore.h"

extern char** environ;

namespace {

struct Start {
  double wallSeconds = 0;
  double userSeconds = 0;
  double systemSeconds = 0;
  double peakMegabytes = 0;
  bool ok = false;
};

// Starts the installed app on root and waits for it to end.
Start startApp(const std::string& root) {
  const std::string program = root + "/Applications/Corvane.app/Corvane";
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    std::string entry = *e;
    for (const char* replaced : {"CORVANE_DEVICE_ROOT=", "CORVANE_AUTOMATION=", "CORVANE_HEADLESS=",
                                 "CORVANE_EXIT_AFTER_FIRST_FRAME="})
      if (entry.starts_with(replaced)) entry.clear();
    if (!entry.empty()) env.push_back(entry);
  }
  env.push_back("CORVANE_DEVICE_ROOT=" + root);
  env.push_back("CORVANE_HEADLESS=1");
  env.push_back("CORVANE_EXIT_AFTER_FIRST_FRAME=1");
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string arg0 = program;
  char* argv[] = {arg0.data(), nullptr};

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // The app logs a line or two; they would only disturb the report.
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  Start start;
  auto begin = std::chrono::steady_clock::now();
  pid_t pid = -1;
  int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return start;
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) return start;
  start.wallSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  auto seconds = [](timeval t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  start.userSeconds = seconds(usage.ru_utime);
  start.systemSeconds = seconds(usage.ru_stime);
  start.peakMegabytes = usage.ru_maxrss / 1024.0;
  start.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return start;
}

// The device roots this run made, removed at its end.
std::vector<fs::path> gMadeRoots;

int runQuietly(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str());
}

// A private device root holding a copy of the store at storeRoot and the
// app installed from this build; made once per run of the benchmark.
std::string installedRoot(const std::string& name, const fs::path& storeRoot) {
  const fs::path root =
      fs::temp_directory_path() / ("corvane-bench-app-" + name + "-" + std::to_string(getpid()));
  fs::remove_all(root);
  fs::create_directories(root);
  gMadeRoots.push_back(root);
  fs::copy(storeRoot / "var", root / "var", fs::copy_options::recursive);
  if (runQuietly("'" CORVANE_SOURCE_DIR "/tools/install-device.sh' '" + root.string() + "' '" +
                 CORVANE_BUILD_DIR "'") != 0)
    return {};
  return root.string();
}

// The generated three-year store (1,095 days, 50,000 titles).
const std::string& threeYearRoot() {
  static const std::string root = [] {
    if (!useThreeYearStore()) return std::string();
    return installedRoot("3y", std::getenv("CORVANE_DEVICE_ROOT"));
  }();
  return root;
}

// A week with ten titles: what the platform costs with next to no history.
const std::string& oneWeekRoot() {
  static const std::string root = [] {
    const fs::path store =
        fs::temp_directory_path() / ("corvane-bench-store-7d-10t-" + std::to_string(getpid()));
    fs::remove_all(store);
    setenv("CORVANE_DEVICE_ROOT", store.c_str(), 1);
    std::FILE* devnull = std::fopen("/dev/null", "w");
    int status = corvane::storetool::run(
        {"generate", "--days", "7", "--titles", "10", "--seed", "1"}, devnull, devnull);
    std::fclose(devnull);
    std::string installed = status == 0 ? installedRoot("1w", store) : std::string();
    fs::remove_all(store);
    return installed;
  }();
  return root;
}

void coldStart(benchmark::State& state, const std::string& root) {
  if (root.empty()) {
    state.SkipWithError("cannot lay out the device root");
    return;
  }
  // One untimed start puts the program, its libraries and the store's files
  // in the page cache, as they are after any earlier start.
  if (!startApp(root).ok) {
    state.SkipWithError("the app did not start and end cleanly");
    return;
  }
  double cpu = 0, user = 0, system = 0, peak = 0;
  for (auto _ : state) {
    Start start = startApp(root);
    if (!start.ok) {
      state.SkipWithError("the app did not start and end cleanly");
      return;
    }
    state.SetIterationTime(start.wallSeconds);
    cpu += start.userSeconds + start.systemSeconds;
    user += start.userSeconds;
    system += start.systemSeconds;
    peak = std::max(peak, start.peakMegabytes);
  }
  double n = static_cast<double>(state.iterations());
  state.counters["cpu_ms"] = cpu / n * 1e3;
  state.counters["user_ms"] = user / n * 1e3;
  state.counters["sys_ms"] = system / n * 1e3;
  state.counters["peak_rss_MB"] = peak;
}

void BM_AppColdStartToFirstFrame_ThreeYears(benchmark::State& state) {
  coldStart(state, threeYearRoot());
}

void BM_AppColdStartToFirstFrame_OneWeek(benchmark::State& state) {
  coldStart(state, oneWeekRoot());
}

double fastest(const std::vector<double>& v) {
  return *std::min_element(v.begin(), v.end());
}
double slowest(const std::vector<double>& v) {
  return *std::max_element(v.begin(), v.end());
}
// The ninth decile: how slow one start in ten is.
double ninthDecile(const std::vector<double>& v) {
  std::vector<double> sorted = v;
  std::sort(sorted.begin(), sorted.end());
  return sorted[std::min(sorted.size() - 1, sorted.size() * 9 / 10)];
}

}  // namespace

// One start per repetition, many repetitions: the median and the spread.
void asStartTimes(benchmark::internal::Benchmark* b) {
  b->Unit(benchmark::kMillisecond)
      ->UseManualTime()
      ->Iterations(1)
      ->Repetitions(40)
      ->ComputeStatistics("min", fastest)
      ->ComputeStatistics("p90", ninthDecile)
      ->ComputeStatistics("max", slowest)
      ->ReportAggregatesOnly(true);
}
BENCHMARK(BM_AppColdStartToFirstFrame_ThreeYears)->Apply(asStartTimes);
BENCHMARK(BM_AppColdStartToFirstFrame_OneWeek)->Apply(asStartTimes);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (const fs::path& root : gMadeRoots) fs::remove_all(root);
  return 0;
}
