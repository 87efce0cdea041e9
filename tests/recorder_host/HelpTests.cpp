// Every windowed program and the launcher explain themselves: --help and -h
// print usage, options and the environment they read, and exit 0; an
// unknown option is one line naming it with the help hint, and exit 2.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"

namespace {

struct Program {
  const char* name;
  std::vector<const char*> mentions;  // options and variables its help names
};

TEST(Help, EachProgramNamesItsOptionsAndRefusesUnknownOnes) {
  const std::vector<Program> programs = {
      {"Corvane", {"--scale", "--help", "CORVANE_WINDOW_SCALE", "CORVANE_DEVICE_ROOT",
                   "CORVANE_SCREEN", "CORVANE_AUTOMATION", "DISPLAY"}},
      {"toolkit-sample", {"--scale", "--help", "CORVANE_WINDOW_SCALE", "CORVANE_HEADLESS"}},
      {"launchCV", {"BUNDLE-IDENTIFIER", "--help", "CORVANE_DEVICE_ROOT", "Exit status"}},
  };
  for (const Program& p : programs) {
    std::string path = testsupport::buildDir() + "/bin/" + p.name;
    for (const char* flag : {"--help", "-h"}) {
      int status = -1;
      std::string out = testsupport::runCommand(
          "CORVANE_HEADLESS=1 '" + path + "' " + flag + " 2>/dev/null </dev/null", &status);
      EXPECT_EQ(status, 0) << p.name << " " << flag;
      for (const char* m : p.mentions) EXPECT_NE(out.find(m), std::string::npos) << p.name << m;
    }
    int status = -1;
    std::string err = testsupport::runCommand(
        "CORVANE_HEADLESS=1 '" + path + "' --frobnicate 2>&1 >/dev/null </dev/null", &status);
    EXPECT_EQ(status, 2) << p.name;
    EXPECT_EQ(err, std::string(p.name) + ": unknown option '--frobnicate'; try '" + p.name +
                       " --help'\n");
  }
  int status = -1;
  std::string err = testsupport::runCommand("CORVANE_HEADLESS=1 '" + testsupport::buildDir() +
                                                "/bin/Corvane' --scale 9 2>&1 </dev/null",
                                            &status);
  EXPECT_EQ(status, 2);
  EXPECT_NE(err.find("--scale"), std::string::npos);
}

}  // namespace
