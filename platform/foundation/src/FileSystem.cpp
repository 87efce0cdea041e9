#include "Foundation/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>
#include <system_error>
#include <vector>

namespace ns {

namespace {

std::string errorText(int err) {
  return std::generic_category().message(err);
}

void setError(std::string* error, std::string text) {
  if (error) *error = std::move(text);
}

// A folder itself, not a link to one: a link where a folder should be is
// something in the way.
bool isDirectory(const std::string& host) {
  struct stat st;
  return ::lstat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Retries a system call interrupted by a signal.
template <class F>
auto retry(F f) {
  decltype(f()) r;
  do {
    r = f();
  } while (r == -1 && errno == EINTR);
  return r;
}

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  Fd(Fd&& o) noexcept : fd_(o.fd_) { o.fd_ = -1; }
  Fd& operator=(Fd&& o) noexcept {
    if (this != &o) {
      if (fd_ >= 0) ::close(fd_);
      fd_ = o.fd_;
      o.fd_ = -1;
    }
    return *this;
  }
  int get() const { return fd_; }
  // Closes now and reports the result (a failed close can mean lost data).
  int close() {
    int r = ::close(fd_);
    fd_ = -1;
    return r;
  }

 private:
  int fd_;
};

std::string parentOf(const std::string& host) {
  size_t slash = host.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return host.substr(0, slash);
}

unsigned randomBits() {
  thread_local std::minstd_rand generator = [] {
    unsigned seed;
    try {
      seed = std::random_device{}();
    } catch (...) {  // no entropy source: O_EXCL still keeps names unique
      seed = static_cast<unsigned>(::time(nullptr)) ^ static_cast<unsigned>(::getpid());
    }
    return std::minstd_rand(seed);
  }();
  return static_cast<unsigned>(generator());
}

// A name no other writer, in this process or another, is likely to pick.
std::string temporaryName() {
  static std::atomic<unsigned long> counter{0};
  char name[96];
  std::snprintf(name, sizeof name, "%.*s%ld-%lu-%08x",
                static_cast<int>(kTemporaryFilePrefix.size()), kTemporaryFilePrefix.data(),
                static_cast<long>(::getpid()), counter.fetch_add(1), randomBits());
  return name;
}

}  // namespace

std::string deviceRoot() {
  std::string root;
  if (const char* env = std::getenv("CORVANE_DEVICE_ROOT"); env && *env)
    root = env;
  else if (const char* home = std::getenv("HOME"); home && *home)
    root = std::string(home) + "/.local/share/corvane/device";
  else
    root = "/tmp/corvane-device";
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  return root;
}

std::string hostPath(std::string_view devicePath) {
  if (devicePath.empty() || devicePath.front() != '/') return {};
  if (devicePath.find('\0') != std::string_view::npos) return {};
  for (size_t start = 0; start <= devicePath.size();) {
    size_t end = devicePath.find('/', start);
    if (end == std::string_view::npos) end = devicePath.size();
    if (devicePath.substr(start, end - start) == "..") return {};
    start = end + 1;
  }
  std::string root = deviceRoot();
  if (root == "/") root.clear();
  return root + std::string(devicePath);
}

namespace {

FileIdentity identityOf(const struct stat& st) {
  FileIdentity id;
  id.device = st.st_dev;
  id.inode = st.st_ino;
  id.size = st.st_size;
  id.modifiedSeconds = st.st_mtim.tv_sec;
  id.modifiedNanoseconds = st.st_mtim.tv_nsec;
  id.changedSeconds = st.st_ctim.tv_sec;
  id.changedNanoseconds = st.st_ctim.tv_nsec;
  return id;
}

}  // namespace

namespace {

// The folder holding a device path's last component, opened from the device
// root without following a link anywhere below the root, and that
// component's name. -1 with errno set when a folder on the way is missing,
// not a folder, or a link (ELOOP), or the path names no file (EISDIR).
Fd openParent(std::string_view devicePath, std::string* leaf) {
  if (hostPath(devicePath).empty()) {
    errno = EINVAL;
    return Fd(-1);
  }
  std::vector<std::string_view> parts;
  for (size_t start = 1; start <= devicePath.size();) {
    size_t end = devicePath.find('/', start);
    if (end == std::string_view::npos) end = devicePath.size();
    if (end > start && devicePath.substr(start, end - start) != ".")
      parts.push_back(devicePath.substr(start, end - start));
    start = end + 1;
  }
  if (parts.empty()) {
    errno = EISDIR;
    return Fd(-1);
  }
  Fd folder(
      retry([&] { return ::open(deviceRoot().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
  for (size_t i = 0; i + 1 < parts.size() && folder.get() >= 0; ++i) {
    const std::string name(parts[i]);
    Fd next(retry([&] {
      return ::openat(folder.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    }));
    if (next.get() < 0) {
      // A link in place of a folder is no folder: what is below it is not there.
      const int err = errno == ELOOP ? ENOTDIR : errno;
      folder = std::move(next);
      errno = err;
      break;
    }
    folder = std::move(next);
  }
  if (folder.get() >= 0) *leaf = std::string(parts.back());
  return folder;
}

}  // namespace

std::optional<FileIdentity> fileIdentity(const std::string& devicePath) {
  std::string leaf;
  Fd folder = openParent(devicePath, &leaf);
  struct stat st {};
  if (folder.get() < 0 || ::fstatat(folder.get(), leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
      !S_ISREG(st.st_mode))
    return std::nullopt;
  return identityOf(st);
}

namespace {

// Makes a folder's entries durable; a file system that cannot sync folders
// is not an error.
void syncFolder(const std::string& folder) {
  Fd dir(retry([&] { return ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
  if (dir.get() >= 0) ::fsync(dir.get());
}

// Replacements not yet made durable: all in one folder, in the order
// written. Until their folder is synced a power cut keeps the versions
// before them, whose content is durable; so they are synced (content first,
// then the folder) before anything else is made durable, which keeps the
// order of writes across folders, and at the latest at the
// kDeferredReplacements-th.
struct DeferredReplacements {
  std::string folder;
  std::vector<std::string> files;
  size_t count = 0;
};
constexpr size_t kDeferredReplacements = 5;

DeferredReplacements& deferred() {
  static DeferredReplacements d;
  return d;
}

void syncDeferred() {
  DeferredReplacements& d = deferred();
  if (d.files.empty()) return;
  bool synced = true;
  for (const std::string& file : d.files) {
    Fd fd(retry([&] { return ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK); }));
    // A file replaced by someone else since is not ours to sync.
    if (fd.get() >= 0 && ::fsync(fd.get()) != 0 && errno != EINVAL) synced = false;
  }
  // A content that may not be on the disk must not get a durable name: the
  // folder waits for the next try, and the old versions stay until then.
  if (!synced) return;
  syncFolder(d.folder);
  d.files.clear();
  d.count = 0;
}

// Remembers a replacement made without syncing (host: the target).
void defer(const std::string& host, const std::string& folder) {
  DeferredReplacements& d = deferred();
  if (!d.files.empty() && d.folder != folder) syncDeferred();
  if (d.files.empty()) {
    static const bool atExit = std::atexit(&syncDeferredWrites) == 0;
    (void)atExit;
  }
  d.folder = folder;
  if (std::find(d.files.begin(), d.files.end(), host) == d.files.end()) d.files.push_back(host);
  if (++d.count >= kDeferredReplacements) syncDeferred();
}

// A new folder survives a power loss only once its parent's entry is synced;
// files synced inside a folder whose entry is lost are lost with it.
bool makeFolder(const std::string& host) {
  if (::mkdir(host.c_str(), 0755) != 0) return errno == EEXIST && isDirectory(host);
  syncDeferred();
  syncFolder(parentOf(host));
  return true;
}

}  // namespace

bool createDirectoryAtPath(const std::string& devicePath, bool withIntermediateDirectories) {
  const std::string host = hostPath(devicePath);
  if (host.empty()) return false;
  if (!withIntermediateDirectories) return makeFolder(host);
  // Create each missing folder from the top down.
  for (size_t pos = 1; pos <= host.size(); ++pos) {
    if (pos != host.size() && host[pos] != '/') continue;
    const std::string prefix = host.substr(0, pos);
    if (prefix.back() == '/') continue;  // "//" in the path
    if (isDirectory(prefix)) continue;
    if (!makeFolder(prefix)) return false;
  }
  return isDirectory(host);
}

namespace {

// lstat of a device path whose folders are reached without following links.
bool statItem(const std::string& devicePath, struct stat* st, int flags = AT_SYMLINK_NOFOLLOW) {
  std::string leaf;
  Fd folder = openParent(devicePath, &leaf);
  return folder.get() >= 0 && ::fstatat(folder.get(), leaf.c_str(), st, flags) == 0;
}

}  // namespace

bool itemExistsAtPath(const std::string& devicePath) {
  struct stat st;
  return statItem(devicePath, &st);
}

bool itemExistsAtPath(const std::string& devicePath, int* error) {
  struct stat st;
  const bool there = statItem(devicePath, &st);
  if (error) *error = there || errno == ENOENT || errno == ENOTDIR ? 0 : errno;
  return there;
}

bool isNonFolderAtPath(const std::string& devicePath) {
  struct stat st;
  return statItem(devicePath, &st) && !S_ISDIR(st.st_mode);
}

bool isDirectoryAtPath(const std::string& devicePath) {
  struct stat st;
  if (devicePath.find_first_not_of('/') == std::string::npos)  // the device root itself
    return isDirectory(deviceRoot());
  return statItem(devicePath, &st) && S_ISDIR(st.st_mode);
}

bool moveItemAtPath(const std::string& from, const std::string& to) {
  std::string leafFrom, leafTo;
  Fd folderFrom = openParent(from, &leafFrom);
  if (folderFrom.get() < 0) return false;
  Fd folderTo = openParent(to, &leafTo);
  if (folderTo.get() < 0) return false;
  if (::renameat2(folderFrom.get(), leafFrom.c_str(), folderTo.get(), leafTo.c_str(),
                  RENAME_NOREPLACE) != 0) {
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A file system without the no-replace flag: check, then rename.
    struct stat st;
    if (::fstatat(folderTo.get(), leafTo.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
      errno = EEXIST;
      return false;
    }
    if (::renameat(folderFrom.get(), leafFrom.c_str(), folderTo.get(), leafTo.c_str()) != 0)
      return false;
  }
  syncDeferred();
  ::fsync(folderTo.get());
  struct stat a, b;
  if (::fstat(folderFrom.get(), &a) == 0 && ::fstat(folderTo.get(), &b) == 0 &&
      (a.st_dev != b.st_dev || a.st_ino != b.st_ino))
    ::fsync(folderFrom.get());
  return true;
}

bool fileExistsAtPath(const std::string& devicePath) {
  struct stat st;
  return statItem(devicePath, &st, 0);
}

std::optional<std::string> readFileAtPath(const std::string& devicePath, size_t maxBytes) {
  return readFileAtPath(devicePath, maxBytes, nullptr);
}

std::optional<std::string> readFileAtPath(const std::string& devicePath, size_t maxBytes,
                                          int* error) {
  const auto failWith = [&](int err) -> std::optional<std::string> {
    if (error) *error = err;
    errno = err;
    return std::nullopt;
  };
  std::string leaf;
  Fd folder = openParent(devicePath, &leaf);
  if (folder.get() < 0) return failWith(errno);
  // Never waits: a named pipe or a device in place of a file would block an
  // open without O_NONBLOCK for ever; they are refused below. A link is
  // never followed out of the device.
  Fd fd(retry([&] {
    return ::openat(folder.get(), leaf.c_str(),
                    O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW);
  }));
  if (fd.get() < 0) return failWith(errno);
  struct stat st;
  if (::fstat(fd.get(), &st) != 0) return failWith(errno);
  if (!S_ISREG(st.st_mode)) return failWith(S_ISDIR(st.st_mode) ? EISDIR : ENODEV);
  if (static_cast<unsigned long long>(st.st_size) > maxBytes) return failWith(EFBIG);

  // Read straight into the result, with room for a little more (the file
  // may have grown since fstat) so that finding the end copies nothing.
  constexpr size_t kMore = 4096;
  std::string bytes;
  size_t done = 0;
  int readError = 0;
  // The file's bytes go straight into the string: zeroing megabytes of it
  // first would cost as much again as reading them.
  const auto readInto = [&](char* data, size_t room) {
    for (;;) {
      if (done == room) return done;  // the file may have grown: room for more
      const ssize_t n = retry([&] { return ::read(fd.get(), data + done, room - done); });
      if (n <= 0) {
        if (n < 0) readError = errno;
        return done;
      }
      done += static_cast<size_t>(n);
    }
  };
  for (size_t room = static_cast<size_t>(st.st_size) + kMore;; room = done + kMore) {
#if defined(__cpp_lib_string_resize_and_overwrite)
    bytes.resize_and_overwrite(room, readInto);
#else
    const size_t kept = bytes.size();
    bytes.resize(room);
    bytes.resize(std::max(kept, readInto(bytes.data(), room)));
#endif
    if (readError) return failWith(readError);
    if (done > maxBytes) return failWith(EFBIG);
    if (done < room) break;
  }
  if (error) *error = 0;
  return bytes;
}

std::optional<std::string> readFileHeadAtPath(const std::string& devicePath, size_t maxBytes) {
  std::string leaf;
  Fd folder = openParent(devicePath, &leaf);
  if (folder.get() < 0) return std::nullopt;
  Fd fd(retry([&] {
    return ::openat(folder.get(), leaf.c_str(),
                    O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW);
  }));
  struct stat st;
  if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  std::string bytes(maxBytes, '\0');
  size_t done = 0;
  while (done < maxBytes) {
    const ssize_t n = retry([&] { return ::read(fd.get(), bytes.data() + done, maxBytes - done); });
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  bytes.resize(done);
  return bytes;
}

bool isTransientError(int err) {
  switch (err) {
    case EIO:
    case EMFILE:
    case ENFILE:
    case ENOMEM:
    case EINTR:
    case EAGAIN:
    case EBUSY:
    case ENOSPC:
    case EDQUOT:
    case ETIMEDOUT:
      return true;
    default:
      return false;
  }
}

namespace {
WriteFaultHook& writeFaultHook() {
  static auto* hook = new WriteFaultHook;
  return *hook;
}
}  // namespace

void setWriteFaultHook(WriteFaultHook hook) {
  writeFaultHook() = std::move(hook);
}

bool writeFileAtomically(const std::string& devicePath, std::string_view bytes,
                         std::string* error) {
  return writeFileAtomically(devicePath, bytes, error, nullptr);
}

namespace {

// The atomic write inside an open folder: the temporary file, the rename and
// the check of what is at the name afterwards never follow a link.
bool writeInFolder(int folder, const std::string& leaf, const std::string& host,
                   const std::string& shown, std::string_view bytes, std::string* error,
                   std::optional<FileIdentity>* written) {
  std::string temp;
  int fdNumber = -1;
  for (int attempt = 0; attempt < 16 && fdNumber < 0; ++attempt) {
    temp = temporaryName();
    fdNumber = retry([&] {
      return ::openat(folder, temp.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC | O_NOFOLLOW,
                      0644);
    });
    if (fdNumber < 0 && errno != EEXIST) break;
  }
  if (fdNumber < 0) {
    setError(error, "cannot create a temporary file for " + shown + ": " + errorText(errno));
    return false;
  }
  Fd fd(fdNumber);

  const auto abandon = [&](const std::string& what, int err) {
    if (fd.get() >= 0) fd.close();
    ::unlinkat(folder, temp.c_str(), 0);
    setError(error, what + " " + shown + ": " + errorText(err));
    errno = err;
    return false;
  };

  for (size_t done = 0; done < bytes.size();) {
    const ssize_t n =
        retry([&] { return ::write(fd.get(), bytes.data() + done, bytes.size() - done); });
    if (n < 0) return abandon("cannot write", errno);
    if (n == 0) return abandon("cannot write", ENOSPC);
    done += static_cast<size_t>(n);
  }
  // A replacement waits for its sync (see DeferredReplacements): a power
  // cut keeps the version before it. A new file is synced at once with its
  // folder, as anything written later may need it.
  struct stat existing {};
  const bool replacing = ::fstatat(folder, leaf.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0 &&
                         S_ISREG(existing.st_mode);
  if (!replacing && ::fsync(fd.get()) != 0) return abandon("cannot flush", errno);
  struct stat before {};
  const bool stated = written && ::fstat(fd.get(), &before) == 0;
  if (fd.close() != 0) return abandon("cannot close", errno);
  if (::renameat(folder, temp.c_str(), folder, leaf.c_str()) != 0)
    return abandon("cannot replace", errno);

  // The rename changes the change time: the file at the path is ours when
  // everything else is still what the temporary file had.
  struct stat after {};
  if (stated && ::fstatat(folder, leaf.c_str(), &after, AT_SYMLINK_NOFOLLOW) == 0 &&
      S_ISREG(after.st_mode) && after.st_dev == before.st_dev && after.st_ino == before.st_ino &&
      after.st_size == before.st_size && after.st_mtim.tv_sec == before.st_mtim.tv_sec &&
      after.st_mtim.tv_nsec == before.st_mtim.tv_nsec)
    *written = identityOf(after);

  if (replacing) {
    defer(host, parentOf(host));
    return true;
  }
  // Makes the rename itself durable. The new content is already in place, so
  // a file system that cannot sync folders does not make the write fail.
  syncDeferred();
  ::fsync(folder);
  return true;
}

}  // namespace

bool writeFileAtomically(const std::string& devicePath, std::string_view bytes, std::string* error,
                         std::optional<FileIdentity>* written) {
  if (written) written->reset();
  if (const WriteFaultHook& hook = writeFaultHook())
    if (int err = hook(devicePath)) {
      setError(error, "cannot write " + devicePath + ": " + errorText(err));
      errno = err;
      return false;
    }
  if (hostPath(devicePath).empty()) {
    setError(error, "invalid device path: " + devicePath);
    errno = EINVAL;
    return false;
  }
  // The folders on the way are opened without following links, so a link
  // planted where a store folder should be never leads a write outside.
  std::string leaf;
  Fd folder = openParent(devicePath, &leaf);
  if (folder.get() < 0) {
    const int err = errno;
    setError(error, "cannot open the folder of " + devicePath + ": " + errorText(err));
    errno = err;
    return false;
  }
  return writeInFolder(folder.get(), leaf, hostPath(devicePath), devicePath, bytes, error, written);
}

bool writeHostFileAtomically(const std::string& host, std::string_view bytes, std::string* error,
                             std::optional<FileIdentity>* written) {
  if (written) written->reset();
  const std::string folderPath = parentOf(host);
  Fd folder(retry([&] { return ::open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
  if (folder.get() < 0) {
    const int err = errno;
    setError(error, "cannot create a temporary file in " + folderPath + ": " + errorText(err));
    errno = err;
    return false;
  }
  const size_t slash = host.rfind('/');
  return writeInFolder(folder.get(), slash == std::string::npos ? host : host.substr(slash + 1),
                       host, host, bytes, error, written);
}

void syncDeferredWrites() {
  syncDeferred();
}

int removeOrphanedTemporaryFiles(const std::string& deviceFolder) {
  const std::string host = hostPath(deviceFolder);
  if (host.empty()) return 0;
  DIR* dir = ::opendir(host.c_str());
  if (!dir) return 0;
  int removed = 0;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name.substr(0, kTemporaryFilePrefix.size()) != kTemporaryFilePrefix) continue;
    // A file whose writer still runs (another process on the same root) is
    // a write in progress, not an orphan.
    const long writer =
        std::strtol(std::string(name.substr(kTemporaryFilePrefix.size())).c_str(), nullptr, 10);
    if (writer > 0 && writer != ::getpid() && ::kill(static_cast<pid_t>(writer), 0) == 0) continue;
    const std::string path = host + "/" + std::string(name);
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    if (::unlink(path.c_str()) == 0) ++removed;
  }
  ::closedir(dir);
  return removed;
}

}  // namespace ns
