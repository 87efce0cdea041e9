// corvane-store: reads (and for `generate` writes) the data store of the
// device root; see `corvane-store help`.
#include <cstdio>

#include "StoreTool.h"

// In sanitizer builds the leak check passes over the caches fontconfig keeps
// for the life of the process (the charts set text with pango), quietly, so
// standard error holds only the tool's own lines.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}
extern "C" const char* __lsan_default_options() {
  return "print_suppressions=0";
}

int main(int argc, char** argv) {
  // Exports can be long: write them in large blocks.
  static char buffer[1 << 16];
  std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
  std::vector<std::string> args(argv + 1, argv + argc);
  return corvane::storetool::run(args, stdout, stderr);
}
