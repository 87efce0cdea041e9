// The device's file system, mapped into a folder of the host.
//
// Every path the system uses is a device path ("/var/mobile/..."). It is
// looked up under the device root: the folder named by the environment
// variable CORVANE_DEVICE_ROOT, read at every call so tests can switch it,
// or else "$HOME/.local/share/corvane/device", or "/tmp/corvane-device" when
// HOME is unset. A device path that is not absolute or has a ".." component
// has no host path, and every operation on it fails.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace ns {

// What tells two versions of a file apart without reading it: device,
// inode, size, and modification and change times to the nanosecond.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  long modifiedSeconds = 0;
  long modifiedNanoseconds = 0;
  long changedSeconds = 0;
  long changedNanoseconds = 0;
  bool operator==(const FileIdentity&) const = default;
};

// The identity of a regular file by device path; nullopt for anything else.
std::optional<FileIdentity> fileIdentity(const std::string& devicePath);

std::string deviceRoot();
// The host path of an absolute device path, or "" when it is refused.
std::string hostPath(std::string_view devicePath);

// Creates a folder (mode 0755 minus the umask) and syncs its parent, so the
// folder outlives a power loss. Succeeds when the folder already exists;
// fails when something else is in the way.
bool createDirectoryAtPath(const std::string& devicePath, bool withIntermediateDirectories);

// Whether anything is at the path (a dangling link included), as
// itemExistsAtPath; *error (when given) says why a look failed (0 when it
// did not), so a failure to look is not taken for "nothing there".
bool itemExistsAtPath(const std::string& devicePath, int* error);
// True only for something provably there that is not a folder (a link to a
// folder included): what stands in the way of a folder.
bool isNonFolderAtPath(const std::string& devicePath);
// The first bytes of a regular file (at most maxBytes), however large it is.
std::optional<std::string> readFileHeadAtPath(const std::string& devicePath, size_t maxBytes);

// True for an existing file or folder.
bool fileExistsAtPath(const std::string& devicePath);
// True for anything at the path, a dangling symbolic link included.
bool itemExistsAtPath(const std::string& devicePath);
bool isDirectoryAtPath(const std::string& devicePath);

// Renames an item (file, folder, pipe, link) without ever replacing one:
// fails with EEXIST when something is at `to`. Both folders are synced.
bool moveItemAtPath(const std::string& from, const std::string& to);

// The whole content of a regular file; nullopt when it is missing, not a
// regular file (a pipe, a device, a folder: never waited on), unreadable or
// longer than maxBytes.
std::optional<std::string> readFileAtPath(const std::string& devicePath,
                                          size_t maxBytes = size_t{64} << 20);
// The same, setting *error to why it failed: the errno of the failing call,
// EISDIR for a folder, ENODEV for anything else that is not a regular file,
// EFBIG when longer than maxBytes (0 on success).
std::optional<std::string> readFileAtPath(const std::string& devicePath, size_t maxBytes,
                                          int* error);

// True for errors that say nothing about the file itself (an I/O error, no
// memory or descriptors left, a full disk): trying again later may succeed.
bool isTransientError(int err);

// Replaces a file's content atomically: writes a temporary file beside it,
// flushes it to disk and renames it over the target, so readers see the old
// or the new content, never a mix. On failure the target is untouched, the
// temporary file is gone, and *error (if given) says why.
bool writeFileAtomically(const std::string& devicePath, std::string_view bytes,
                         std::string* error = nullptr);
// The same; *written becomes the identity of the file now at the path when
// it is provably the one just written (the same inode, size and
// modification time as the temporary file had before the rename), else
// stays nullopt.
bool writeFileAtomically(const std::string& devicePath, std::string_view bytes, std::string* error,
                         std::optional<FileIdentity>* written);

// Durability: a write that replaces a file is made durable (content, then
// its folder) together with the next few, so that a played second costs
// less than one sync; a power cut before that keeps the version before it.
// A new file is durable when the call returns, and so is every write before
// it, in order. This makes every write so far durable at once (also run at
// exit).
void syncDeferredWrites();

// A seam for tests: while set, writeFileAtomically asks it first, and a
// non-zero errno it gives makes that write fail as the disk would, leaving
// the target untouched.
using WriteFaultHook = std::function<int(const std::string& devicePath)>;
void setWriteFaultHook(WriteFaultHook hook);

// The same for a host path (files outside the device, such as screenshots).
bool writeHostFileAtomically(const std::string& hostPath, std::string_view bytes,
                             std::string* error = nullptr,
                             std::optional<FileIdentity>* written = nullptr);

// Prefix of the temporary files writeFileAtomically leaves behind only when
// the process dies mid-write.
inline constexpr std::string_view kTemporaryFilePrefix = ".corvane-tmp-";

// Deletes such leftovers in one folder (not its subfolders), except those
// of a writer process that is still running; returns how many were deleted. Writers call it when
// they start.
int removeOrphanedTemporaryFiles(const std::string& deviceFolder);

}  // namespace ns
