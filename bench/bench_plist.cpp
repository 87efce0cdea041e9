// The property-list reader and writer against libplist and Python's
// plistlib on the same 50,000-entry title map, in one run. libplist is
// linked into this benchmark only; the store is never read with it.
#include <benchmark/benchmark.h>
#include <plist/plist.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "Foundation/FileSystem.h"
#include "Foundation/PropertyList.h"

namespace {

constexpr int kEntries = 50000;

// IntMusicData.plist as years of listening leave it: number -> title, with
// titles of mixed length and some characters that need escaping.
const std::string& mapFile() {
  static const std::string path = [] {
    auto root = std::filesystem::temp_directory_path() /
                ("corvane-bench-plist-" + std::to_string(getpid()));
    std::filesystem::create_directories(root);
    setenv("CORVANE_DEVICE_ROOT", root.c_str(), 1);
    ns::PlistDictionary map;
    for (int i = 0; i < kEntries; ++i)
      map[std::to_string(i)] = "Artist " + std::to_string(i % 977) + " & Band - Song <" +
                               std::to_string(i) + "> (Remastered " +
                               std::to_string(1960 + i % 60) + ")";
    ns::writeToFile(map, "/IntMusicData.plist");
    std::atexit([] {
      std::filesystem::remove_all(std::filesystem::path(ns::hostPath("/")).parent_path());
    });
    return ns::hostPath("/IntMusicData.plist");
  }();
  return path;
}

std::string fileBytes() {
  std::string bytes;
  if (FILE* f = std::fopen(mapFile().c_str(), "rb")) {
    char buf[1 << 16];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) bytes.append(buf, n);
    std::fclose(f);
  }
  return bytes;
}

// Seconds per call of a plistlib statement, best of five, timed by Python.
double plistlibSeconds(const std::string& setup, const std::string& statement) {
  std::string command = "python3 -c \"import plistlib, timeit; " + setup +
                        "; print(min(timeit.repeat(lambda: " + statement +
                        ", number=1, repeat=5)))\" 2>/dev/null";
  double seconds = 0;
  if (FILE* p = popen(command.c_str(), "r")) {
    if (std::fscanf(p, "%lf", &seconds) != 1) seconds = 0;
    pclose(p);
  }
  return seconds;
}

void BM_ReadOurs(benchmark::State& state) {
  const std::string devicePath = "/IntMusicData.plist";
  mapFile();
  for (auto _ : state) benchmark::DoNotOptimize(ns::dictionaryWithContentsOfFile(devicePath));
  state.counters["entries"] = kEntries;
}
BENCHMARK(BM_ReadOurs)->Unit(benchmark::kMillisecond);

void BM_ReadLibplist(benchmark::State& state) {
  for (auto _ : state) {
    std::string bytes = fileBytes();  // the file is read too, as ours reads it
    plist_t root = nullptr;
    plist_from_xml(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
    if (!root || plist_dict_get_size(root) != kEntries) state.SkipWithError("libplist failed");
    plist_free(root);
  }
}
BENCHMARK(BM_ReadLibplist)->Unit(benchmark::kMillisecond);

void BM_ReadPlistlib(benchmark::State& state) {
  const double seconds = plistlibSeconds("f = '" + mapFile() + "'", "plistlib.load(open(f, 'rb'))");
  if (seconds <= 0) state.SkipWithError("python3 plistlib unavailable");
  for (auto _ : state) {
  }
  state.counters["plistlib_ms"] = seconds * 1e3;
}
BENCHMARK(BM_ReadPlistlib)->Iterations(1);

void BM_WriteOurs(benchmark::State& state) {
  mapFile();
  const auto map = ns::dictionaryWithContentsOfFile("/IntMusicData.plist");
  if (!map) return state.SkipWithError("cannot read the map");
  for (auto _ : state) benchmark::DoNotOptimize(ns::serializePropertyList(*map));
}
BENCHMARK(BM_WriteOurs)->Unit(benchmark::kMillisecond);

void BM_WriteLibplist(benchmark::State& state) {
  std::string bytes = fileBytes();
  plist_t root = nullptr;
  plist_from_xml(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
  for (auto _ : state) {
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(root, &xml, &length);
    benchmark::DoNotOptimize(xml);
    plist_to_xml_free(xml);
  }
  plist_free(root);
}
BENCHMARK(BM_WriteLibplist)->Unit(benchmark::kMillisecond);

void BM_WritePlistlib(benchmark::State& state) {
  const double seconds =
      plistlibSeconds("d = plistlib.load(open('" + mapFile() + "', 'rb'))", "plistlib.dumps(d)");
  if (seconds <= 0) state.SkipWithError("python3 plistlib unavailable");
  for (auto _ : state) {
  }
  state.counters["plistlib_ms"] = seconds * 1e3;
}
BENCHMARK(BM_WritePlistlib)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
