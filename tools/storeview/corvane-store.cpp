// corvane-store: reads (and for `generate` writes) the data store of the
// device root; see `corvane-store help`.
#include <cstdio>

#include "StoreTool.h"

int main(int argc, char** argv) {
  // Exports can be long: write them in large blocks.
  static char buffer[1 << 16];
  std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
  std::vector<std::string> args(argv + 1, argv + argc);
  return corvane::storetool::run(args, stdout, stderr);
}
