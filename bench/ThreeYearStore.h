// The three-year history (1,095 days, 50,000 titles) the benchmarks run on,
// generated once with the store tool and kept in the temporary folder for
// later runs; CORVANE_DEVICE_ROOT points at it afterwards.
#pragma once

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

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

}  // namespace
