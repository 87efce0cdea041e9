// ./run install-desktop's installer: installed from a copy of the checkout
// that is then deleted, the installed shell records and the installed app
// starts; nothing points into a build tree; the unit and the desktop entry
// pass their validators; uninstall removes what it put there, not the store.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "HostTestSupport.h"

namespace {

namespace fs = std::filesystem;
using hosttest::quoted;

std::string run(const std::string& command, int* status) {
  return testsupport::runCommand(command + " 2>&1 </dev/null", status);
}

TEST(InstallDesktop, TheInstalledSystemRunsWithoutTheCheckoutAndUninstallKeepsTheStore) {
  testsupport::TempDeviceRoot work;
  const std::string copy = work.host("/checkout"), prefix = work.host("/prefix"),
                    root = work.host("/device");
  const std::string source = fs::path(CORVANE_INSTALLER_PATH).parent_path().parent_path();
  const std::string build = testsupport::buildDir();
  int status = -1;
  std::string out = run(
      "set -e; mkdir -p " + quoted(copy + "/build/bin") + " " + quoted(copy + "/app") + "; cp -r " +
          quoted(source + "/tools") + " " + quoted(copy) + "; cp -r " +
          quoted(source + "/app/Resources") + " " + quoted(copy + "/app") + "; cp " +
          quoted(source + "/README.md") + " " + quoted(copy) + "; cp -r " + quoted(build + "/lib") +
          " " + quoted(copy + "/build") + "; cd " + quoted(build + "/bin") +
          " && cp SpringBoard corvane-store corvane-store-layout launchCV Corvane " +
          quoted(copy + "/build/bin") + "; " + quoted(copy + "/tools/install-desktop.sh") +
          " install " + quoted(prefix) + " " + quoted(copy + "/build") + " " + quoted(root) +
          "; rm -rf " + quoted(copy),
      &status);
  ASSERT_EQ(status, 0) << out;

  // Every run path is relative to its program.
  out = run("cd " + quoted(work.path()) +
                " && for f in $(find prefix device -type f); do readelf -d \"$f\" 2>/dev/null | "
                "grep -E 'RUNPATH|RPATH'; done",
            &status);
  EXPECT_EQ(out.find(build), std::string::npos) << out;
  EXPECT_EQ(out.find(work.path()), std::string::npos) << out;
  EXPECT_NE(out.find("[$ORIGIN/../lib/corvane]"), std::string::npos) << out;

  testsupport::writeHostFile(work.host("/feed.jsonl"),
                             "{\"at\": 0, \"title\": \"Installed\", \"position\": 0, "
                             "\"playing\": true}\n{\"at\": 1, \"title\": \"Installed\", "
                             "\"position\": 1, \"playing\": true}\n");
  out = run("CORVANE_DEVICE_ROOT=" + quoted(root) + " " + quoted(prefix + "/bin/SpringBoard") +
                " --feed " + quoted(work.host("/feed.jsonl")) +
                " --virtual --start 2015-03-05T12:00:00 --for 20",
            &status);
  EXPECT_EQ(status, 0) << out;
  const std::string store = root + "/var/mobile/Documents/Corvane";
  EXPECT_NE(testsupport::readHostFile(store + "/MusicIntData.plist").find("Installed"),
            std::string::npos);
  out = run("CORVANE_DEVICE_ROOT=" + quoted(root) +
                " CORVANE_HEADLESS=1 CORVANE_EXIT_AFTER_FIRST_FRAME=1 " +
                quoted(root + "/Applications/Corvane.app/Corvane"),
            &status);
  EXPECT_EQ(status, 0) << out;
  out = run(
      "CORVANE_DEVICE_ROOT=" + quoted(root) + " " + quoted(prefix + "/bin/corvane-store") + " top",
      &status);
  EXPECT_EQ(status, 0) << out;

  const std::string entry = prefix + "/share/applications/corvane.desktop";
  const std::string unit = prefix + "/share/systemd/user/corvane-recorder.service";
  // The unit's documentation is installed, not left in the deleted checkout.
  const std::string unitText = testsupport::readHostFile(unit);
  EXPECT_NE(unitText.find("Documentation=file://" + prefix + "/share/corvane/README\n"),
            std::string::npos)
      << unitText;
  EXPECT_NE(testsupport::readHostFile(prefix + "/share/corvane/README").find("# Corvane"),
            std::string::npos);
  if (run("command -v desktop-file-validate", &status), status == 0) {
    out = run("desktop-file-validate " + quoted(entry), &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(out, "");
  } else {
    std::printf("skipped: desktop-file-validate is missing (Debian package desktop-file-utils)\n");
  }
  if (run("command -v systemd-analyze", &status), status == 0) {
    // A user manager's runtime folder of the test's own.
    const std::string runtime = work.host("/runtime");
    fs::create_directory(runtime);
    fs::permissions(runtime, fs::perms::owner_all);
    out =
        run("XDG_RUNTIME_DIR=" + quoted(runtime) + " systemd-analyze verify --user " + quoted(unit),
            &status);
    EXPECT_EQ(status, 0) << out;
  } else {
    std::printf("skipped: systemd-analyze is missing: the unit was not verified\n");
  }

  out = run(quoted(source + "/tools/install-desktop.sh") + " uninstall " + quoted(prefix) + " " +
                quoted(build) + " " + quoted(root),
            &status);
  EXPECT_EQ(status, 0) << out;
  out = run("find " + quoted(prefix) + " " + quoted(root) + " -type f", &status);
  // Only the store (and the shell's lock) are left.
  for (size_t at = 0, end; (end = out.find('\n', at)) != std::string::npos; at = end + 1) {
    std::string file = out.substr(at, end - at);
    EXPECT_TRUE(file.rfind(store + "/", 0) == 0 || file == root + "/var/run/SpringBoard.lock")
        << file;
  }
  EXPECT_NE(out.find(store + "/MusicIntData.plist"), std::string::npos) << out;
  // No folder it made is left behind either.
  out = run("find " + quoted(prefix) + " -mindepth 1", &status);
  EXPECT_EQ(out, "");
}

}  // namespace
