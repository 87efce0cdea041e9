// The main bundle: the folder that holds the running program, as on the
// platform an application's executable sits inside its .app folder beside
// its Info.plist and resources.
#pragma once

#include <string>

namespace ns {

// Host path of the main bundle's folder, without a trailing slash: the one
// set with setMainBundlePath, else the folder of /proc/self/exe ("" when
// that cannot be read).
std::string mainBundlePath();
// Points the main bundle elsewhere (tests use a temporary folder); ""
// goes back to the running program's folder.
void setMainBundlePath(const std::string& hostPath);

}  // namespace ns
