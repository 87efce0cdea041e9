// Loads the tweaks installed on the device into the process that starts.
#pragma once

#include <string>

namespace substrate {

// The device folder the tweaks are installed in.
inline constexpr const char* kDynamicLibrariesFolder = "/Library/MobileSubstrate/DynamicLibraries/";

// Loads, in name order, every "NAME.dylib" of the tweak folder whose filter
// "NAME.plist" beside it lists bundleIdentifier in its Filter -> Bundles
// array, so each library's constructor runs now. A library without a
// readable filter, or whose filter names other bundles only, is left alone;
// one that fails to load is logged and skipped. Returns how many were loaded.
int loadTweaks(const std::string& bundleIdentifier);

}  // namespace substrate
