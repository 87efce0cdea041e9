#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

#include "Foundation/Log.h"
#include "TestSupport.h"

using namespace ns;

namespace {

TEST(Log, LineHasDateOnTheRunLoopClockProcessAndPid) {
  testsupport::VirtualClock clock("2015-03-05T23:59:58");
  clock.advance(1.25);
  testing::internal::CaptureStderr();
  NSLog("next，current page:%ld", 3L);
  NSLog("two\nlines");
  const std::string err = testing::internal::GetCapturedStderr();
  const std::string who =
      std::string(program_invocation_short_name) + "[" + std::to_string(getpid()) + "] ";
  EXPECT_EQ(err, "2015-03-05 23:59:59.250 " + who + "next，current page:3\n" +
                     "2015-03-05 23:59:59.250 " + who + "two\nlines\n");
}

TEST(Log, CapturesNestAndKeepStandardErrorQuiet) {
  unsetenv("CORVANE_LOG_ECHO");
  testing::internal::CaptureStderr();
  {
    LogCapture outer;
    NSLog("%s", "one");
    {
      LogCapture inner;
      NSLog("*****%ld******", 2L);
      EXPECT_EQ(inner.lines(), std::vector<std::string>{"*****2******"});
    }
    NSLog("three %d", 3);
    EXPECT_EQ(outer.lines(), (std::vector<std::string>{"one", "three 3"}));
    EXPECT_TRUE(outer.contains("ree 3"));
    EXPECT_FALSE(outer.contains("*****"));
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

}  // namespace
