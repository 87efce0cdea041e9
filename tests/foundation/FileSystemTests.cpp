#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>

#include "Foundation/FileSystem.h"
#include "TestSupport.h"

using namespace ns;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> namesIn(const std::string& hostFolder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(hostFolder)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(DevicePaths, MapUnderTheRootAndRefuseEscapes) {
  testsupport::TempDeviceRoot root;
  EXPECT_EQ(hostPath("/var/mobile/a.plist"), root.path() + "/var/mobile/a.plist");
  EXPECT_EQ(hostPath("/a/.../..b/b.."), root.path() + "/a/.../..b/b..");
  for (std::string_view bad : {"", "var/a", "/..", "/a/../b", "/a/..", "../a"})
    EXPECT_EQ(hostPath(bad), "") << bad;
  EXPECT_EQ(hostPath(std::string_view("/a\0b", 4)), "");
  EXPECT_FALSE(writeFileAtomically("/x/../../escape", "no"));
  EXPECT_FALSE(createDirectoryAtPath("/../up", true));
  EXPECT_FALSE(fileExistsAtPath("/.."));
  // The root is read from the environment at every call.
  setenv("CORVANE_DEVICE_ROOT", (root.path() + "/other//").c_str(), 1);
  EXPECT_EQ(hostPath("/f"), root.path() + "/other/f");
}

TEST(Directories, CreateWithAndWithoutIntermediates) {
  testsupport::TempDeviceRoot root;
  EXPECT_FALSE(createDirectoryAtPath("/a/b/c", false));
  EXPECT_TRUE(createDirectoryAtPath("/a/b/c", true));
  EXPECT_TRUE(createDirectoryAtPath("/a/b/c", true));  // already there
  EXPECT_TRUE(createDirectoryAtPath("/a/b/d/", false) && fs::is_directory(root.host("/a/b/d")));
  testsupport::writeHostFile(root.host("/a/file"), "x");
  EXPECT_FALSE(createDirectoryAtPath("/a/file", false));
  EXPECT_FALSE(createDirectoryAtPath("/a/file/sub", true));
  EXPECT_TRUE(fileExistsAtPath("/a/file") && fileExistsAtPath("/a/b"));
  EXPECT_FALSE(fileExistsAtPath("/a/none"));
}

TEST(Files, ReadRefusesFoldersAndOversizedFiles) {
  testsupport::TempDeviceRoot root;
  testsupport::writeHostFile(root.host("/f"), std::string("a\0b", 3));
  EXPECT_EQ(readFileAtPath("/f"), std::string("a\0b", 3));
  EXPECT_EQ(readFileAtPath("/f", 3), std::string("a\0b", 3));
  EXPECT_FALSE(readFileAtPath("/f", 2));
  EXPECT_FALSE(readFileAtPath("/"));
  EXPECT_FALSE(readFileAtPath("/missing"));
}

TEST(Files, ReadNeverWaitsOnAPipeOrADevice) {
  testsupport::TempDeviceRoot root;
  ASSERT_EQ(mkfifo(root.host("/pipe").c_str(), 0600), 0);
  // Before, the open itself waited for a writer for ever.
  EXPECT_FALSE(readFileAtPath("/pipe"));
  fs::create_symlink("/dev/zero", root.host("/zero"));
  EXPECT_FALSE(readFileAtPath("/zero"));
  fs::create_symlink(root.host("/loop"), root.host("/loop"));
  EXPECT_FALSE(readFileAtPath("/loop"));
  EXPECT_TRUE(itemExistsAtPath("/loop") && !fileExistsAtPath("/loop"));
}

TEST(Files, ALinkWhereAFolderShouldBeLeadsNowhere) {
  testsupport::TempDeviceRoot root;
  fs::create_directories(root.host("/elsewhere"));
  testsupport::writeHostFile(root.host("/elsewhere/f"), "theirs");
  fs::create_directory_symlink(root.host("/elsewhere"), root.host("/linked"));
  EXPECT_FALSE(writeFileAtomically("/linked/f", "mine"));
  EXPECT_FALSE(writeFileAtomically("/linked/new", "mine"));
  EXPECT_FALSE(readFileAtPath("/linked/f"));
  EXPECT_FALSE(fileIdentity("/linked/f"));
  EXPECT_FALSE(itemExistsAtPath("/linked/f"));
  EXPECT_FALSE(moveItemAtPath("/linked/f", "/g"));
  EXPECT_FALSE(createDirectoryAtPath("/linked/sub", true));
  EXPECT_TRUE(isNonFolderAtPath("/linked"));
  EXPECT_FALSE(isDirectoryAtPath("/linked"));
  EXPECT_EQ(testsupport::readHostFile(root.host("/elsewhere/f")), "theirs");
  EXPECT_FALSE(fs::exists(root.host("/elsewhere/new")));
  // A link in place of a file is replaced by the write, never written through.
  fs::create_directories(root.host("/real"));
  fs::create_symlink(root.host("/elsewhere/f"), root.host("/real/f"));
  EXPECT_TRUE(writeFileAtomically("/real/f", "mine"));
  EXPECT_EQ(testsupport::readHostFile(root.host("/elsewhere/f")), "theirs");
  EXPECT_FALSE(fs::is_symlink(root.host("/real/f")));
}

TEST(Files, MoveNeverReplacesAnything) {
  testsupport::TempDeviceRoot root;
  testsupport::writeHostFile(root.host("/a"), "A");
  testsupport::writeHostFile(root.host("/b"), "B");
  EXPECT_FALSE(moveItemAtPath("/a", "/b"));
  EXPECT_EQ(errno, EEXIST);
  EXPECT_EQ(testsupport::readHostFile(root.host("/b")), "B");
  ASSERT_EQ(mkfifo(root.host("/pipe").c_str(), 0600), 0);
  EXPECT_TRUE(moveItemAtPath("/pipe", "/pipe.aside"));
  EXPECT_TRUE(moveItemAtPath("/a", "/c"));
  EXPECT_EQ(testsupport::readHostFile(root.host("/c")), "A");
  EXPECT_FALSE(moveItemAtPath("/missing", "/d"));
  EXPECT_FALSE(moveItemAtPath("/c", "/../d"));
}

TEST(AtomicWrite, ReplacesContentAndLeavesNoTemporaryFile) {
  testsupport::TempDeviceRoot root;
  ASSERT_TRUE(createDirectoryAtPath("/d", false));
  EXPECT_TRUE(writeFileAtomically("/d/f", "first"));
  EXPECT_TRUE(writeFileAtomically("/d/f", ""));
  EXPECT_TRUE(writeFileAtomically("/d/f", "second"));
  EXPECT_EQ(testsupport::readHostFile(root.host("/d/f")), "second");
  EXPECT_EQ(namesIn(root.host("/d")), std::vector<std::string>{"f"});
  const mode_t mask = umask(0);
  umask(mask);
  struct stat st;
  ASSERT_EQ(stat(root.host("/d/f").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644 & ~mask);
}

TEST(AtomicWrite, FailureKeepsTargetRemovesTemporaryAndSaysWhy) {
  testsupport::TempDeviceRoot root;
  std::string error;
  EXPECT_FALSE(writeFileAtomically("/missing/f", "x", &error));
  EXPECT_NE(error.find("No such file"), std::string::npos) << error;

  // A folder in the way: the rename fails after the data was written.
  ASSERT_TRUE(createDirectoryAtPath("/d/target", true));
  error.clear();
  EXPECT_FALSE(writeFileAtomically("/d/target", "x", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(namesIn(root.host("/d")), std::vector<std::string>{"target"});

  // A write that runs out of room half-way (the file size limit stands in
  // for a full disk, and works even for root).
  ASSERT_TRUE(writeFileAtomically("/d/f", "old"));
  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto previous = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 1024;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  error.clear();
  const bool ok = writeFileAtomically("/d/f", std::string(100000, 'n'), &error);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  EXPECT_FALSE(ok);
  EXPECT_NE(error.find("too large"), std::string::npos) << error;
  EXPECT_EQ(testsupport::readHostFile(root.host("/d/f")), "old");
  EXPECT_EQ(namesIn(root.host("/d")), (std::vector<std::string>{"f", "target"}));

  if (geteuid() != 0) {  // root writes anywhere
    fs::permissions(root.host("/d"), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(writeFileAtomically("/d/f", "new", &error));
    fs::permissions(root.host("/d"), fs::perms::owner_all);
    EXPECT_EQ(testsupport::readHostFile(root.host("/d/f")), "old");
  }
}

TEST(AtomicWrite, OrphanCleanupRemovesOnlyTemporaryFilesOfThatFolder) {
  testsupport::TempDeviceRoot root;
  // 999999999 is past any pid; 1 always runs, so its file is a live write.
  for (const char* name : {"/d/.corvane-tmp-999999999-2-3", "/d/.corvane-tmp-x", "/d/keep.plist",
                           "/d/.corvane-tmpnot", "/d/sub/.corvane-tmp-9", "/d/.corvane-tmp-1-0-0"})
    testsupport::writeHostFile(root.host(name), "x");
  fs::create_directory(root.host("/d/.corvane-tmp-dir"));
  EXPECT_EQ(removeOrphanedTemporaryFiles("/d"), 2);
  EXPECT_EQ(namesIn(root.host("/d")),
            (std::vector<std::string>{".corvane-tmp-1-0-0", ".corvane-tmp-dir", ".corvane-tmpnot",
                                      "keep.plist", "sub"}));
  EXPECT_TRUE(fs::exists(root.host("/d/sub/.corvane-tmp-9")));
  EXPECT_EQ(removeOrphanedTemporaryFiles("/missing"), 0);
}

}  // namespace
