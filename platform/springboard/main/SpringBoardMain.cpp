// The simulated system shell. See SpringBoard/Shell.h for its command line.
#include <cstdio>
#include <string>

#include "SpringBoard/Shell.h"

int main(int argc, char** argv) {
  springboard::ShellOptions options;
  std::string error;
  if (!springboard::parseShellOptions(argc, argv, &options, &error) ||
      (!options.help && !springboard::takeShellEnvironment(&options, &error))) {
    std::fprintf(stderr, "SpringBoard: %s (SpringBoard --help lists the options)\n", error.c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(springboard::shellUsage().c_str(), stdout);
    return 0;
  }
  return springboard::runShell(options, argc, argv);
}
