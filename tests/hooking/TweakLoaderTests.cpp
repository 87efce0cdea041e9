#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "Foundation/Log.h"
#include "Foundation/PropertyList.h"
#include "TestSupport.h"
#include "TweakLoader.h"

namespace {

namespace fs = std::filesystem;
using testsupport::TempDeviceRoot;

const std::string kFolder = "/Library/MobileSubstrate/DynamicLibraries/";

std::string loadedFixtures() {
  const char* loaded = std::getenv("HOOKING_FIXTURE_LOADED");
  return loaded ? loaded : "";
}

class TweakLoaderTest : public testing::Test {
 protected:
  void SetUp() override {
    unsetenv("HOOKING_FIXTURE_LOADED");
    fs::create_directories(root.host(kFolder));
  }
  void installLibrary(const std::string& name) {
    fs::copy_file(HOOKING_FIXTURE_PATH, root.host(kFolder + name + ".dylib"));
  }
  void installFilter(const std::string& name, ns::PlistArray bundles) {
    ns::PlistDictionary rules{{"Bundles", ns::PlistValue(std::move(bundles))}};
    ns::PlistDictionary filter{{"Filter", ns::PlistValue(std::move(rules))}};
    ASSERT_TRUE(ns::writeToFile(filter, kFolder + name + ".plist"));
  }
  TempDeviceRoot root;
};

TEST_F(TweakLoaderTest, LoadsOnlyLibrariesWhoseFilterNamesTheBundleInNameOrder) {
  installLibrary("Beta");
  installFilter("Beta", {"com.example.other", "com.apple.springboard"});
  installLibrary("Alpha");
  installFilter("Alpha", {"com.apple.springboard"});
  installLibrary("OtherApp");
  installFilter("OtherApp", {"com.example.other"});
  installLibrary("NoFilter");
  installLibrary("BadFilter");
  testsupport::writeHostFile(root.host(kFolder + "BadFilter.plist"), "<plist><dict>");
  installLibrary("WrongShape");
  ns::PlistDictionary flat{{"Filter", "com.apple.springboard"}};
  ASSERT_TRUE(ns::writeToFile(flat, kFolder + "WrongShape.plist"));
  // A filter without its library is not a tweak.
  installFilter("Orphan", {"com.apple.springboard"});

  ns::LogCapture log;
  EXPECT_EQ(substrate::loadTweaks("com.apple.springboard"), 2);
  EXPECT_EQ(loadedFixtures(), "Alpha.dylib Beta.dylib");
}

TEST_F(TweakLoaderTest, LogsAndSkipsALibraryThatDoesNotLoad) {
  testsupport::writeHostFile(root.host(kFolder + "Broken.dylib"), "not a shared object");
  installFilter("Broken", {"com.apple.springboard"});
  installLibrary("Good");
  installFilter("Good", {"com.apple.springboard"});

  ns::LogCapture log;
  EXPECT_EQ(substrate::loadTweaks("com.apple.springboard"), 1);
  EXPECT_TRUE(log.contains("cannot load Broken.dylib"));
  EXPECT_EQ(loadedFixtures(), "Good.dylib");
}

TEST(TweakLoader, MissingFolderLoadsNothing) {
  TempDeviceRoot root;
  EXPECT_EQ(substrate::loadTweaks("com.apple.springboard"), 0);
}

}  // namespace
