// The simulated system shell. See SpringBoard/Shell.h for its command line.
#include <cstdio>
#include <cstring>
#include <string>

#include "SpringBoard/Shell.h"

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(springboard::shellUsage(), stdout);
    return 0;
  }
  springboard::ShellOptions options;
  std::string error;
  if (!springboard::parseShellOptions(argc, argv, &options, &error)) {
    std::fprintf(stderr, "SpringBoard: %s\n%s", error.c_str(), springboard::shellUsage());
    return 64;
  }
  return springboard::runShell(options, argc, argv);
}
