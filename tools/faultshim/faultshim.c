// faultshim: an LD_PRELOAD library that makes the file calls of a process on
// one folder fail, crash it, or records them, so tests can put the store
// through what a phone meets: a full disk, an I/O error, a power cut.
//
//   CORVANE_FAULT_ROOT   host folder whose files count (required)
//   CORVANE_FAULT        count:FILE   write the number of counted calls to FILE at exit
//                        once:K       the K-th counted call fails
//                        always:K     every counted call from the K-th on fails
//                        window:K:L   the K-th to the L-th counted calls fail (a disk
//                                     full for a while)
//                        crash:K      the process is killed (SIGKILL) at the K-th
//                        record:DIR   log every call to DIR/ops, with the content
//                                     of each file at each fsync (power-loss model)
//   CORVANE_FAULT_OPS    calls that count, from open,write,fsync,rename,mkdir (default all)
//   CORVANE_FAULT_NOSYNC 1: fsync returns at once (a kill loses no page cache)
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

enum Op { OP_OPEN, OP_WRITE, OP_FSYNC, OP_RENAME, OP_MKDIR, OP_COUNT };
static const char* const kOpNames[OP_COUNT] = {"open", "write", "fsync", "rename", "mkdir"};

enum Mode { MODE_OFF, MODE_COUNT, MODE_ONCE, MODE_ALWAYS, MODE_WINDOW, MODE_CRASH, MODE_RECORD };

static int g_ready;
static enum Mode g_mode;
static long g_at;
static long g_until;
static long g_counted;
static int g_ops[OP_COUNT];
static int g_nosync;
static char g_root[4096];
static size_t g_rootLength;
static char g_file[4096];  // count file or record folder
static FILE* g_log;
static long g_snapshots;

#define MAX_FDS 4096
static char* g_fdPath[MAX_FDS];  // host path of each descriptor opened under the root

static void setup(void) {
  if (g_ready) return;
  g_ready = 1;
  const char* root = getenv("CORVANE_FAULT_ROOT");
  const char* fault = getenv("CORVANE_FAULT");
  const char* ops = getenv("CORVANE_FAULT_OPS");
  const char* nosync = getenv("CORVANE_FAULT_NOSYNC");
  g_nosync = nosync && *nosync == '1';
  if (!root || !*root) return;
  snprintf(g_root, sizeof g_root, "%s", root);
  g_rootLength = strlen(g_root);
  while (g_rootLength > 1 && g_root[g_rootLength - 1] == '/') g_root[--g_rootLength] = 0;
  for (int i = 0; i < OP_COUNT; ++i) g_ops[i] = !ops || strstr(ops, kOpNames[i]) != NULL;
  if (!fault) return;
  const char* colon = strchr(fault, ':');
  if (!colon) return;
  size_t kind = (size_t)(colon - fault);
  if (kind == 5 && !strncmp(fault, "count", 5)) {
    g_mode = MODE_COUNT;
    snprintf(g_file, sizeof g_file, "%s", colon + 1);
  } else if (kind == 6 && !strncmp(fault, "record", 6)) {
    g_mode = MODE_RECORD;
    snprintf(g_file, sizeof g_file, "%s", colon + 1);
    char path[4200];
    snprintf(path, sizeof path, "%s/ops", g_file);
    g_log = fopen(path, "a");
  } else {
    g_at = atol(colon + 1);
    if (kind == 4 && !strncmp(fault, "once", 4)) g_mode = MODE_ONCE;
    if (kind == 6 && !strncmp(fault, "always", 6)) g_mode = MODE_ALWAYS;
    if (kind == 6 && !strncmp(fault, "window", 6)) {
      const char* second = strchr(colon + 1, ':');
      g_mode = MODE_WINDOW;
      g_until = second ? atol(second + 1) : g_at;
    }
    if (kind == 5 && !strncmp(fault, "crash", 5)) g_mode = MODE_CRASH;
  }
}

__attribute__((destructor)) static void finish(void) {
  if (g_mode == MODE_COUNT && g_file[0]) {
    FILE* f = fopen(g_file, "w");
    if (f) {
      fprintf(f, "%ld\n", g_counted);
      fclose(f);
    }
  }
  if (g_log) fflush(g_log);
}

static int underRoot(const char* path) {
  return g_rootLength && path && !strncmp(path, g_root, g_rootLength) &&
         (path[g_rootLength] == '/' || path[g_rootLength] == 0);
}

static const char* relative(const char* path) {
  return path + g_rootLength;
}

// Whether this call fails; kills the process at a crash point.
static int injected(enum Op op) {
  if (!g_ops[op] || g_mode == MODE_OFF || g_mode == MODE_RECORD) return 0;
  long n = ++g_counted;
  switch (g_mode) {
    case MODE_ONCE:
      return n == g_at;
    case MODE_ALWAYS:
      return n >= g_at;
    case MODE_WINDOW:
      return n >= g_at && n <= g_until;
    case MODE_CRASH:
      if (n == g_at) raise(SIGKILL);
      return 0;
    default:
      return 0;
  }
}

static void note(const char* what, const char* a, const char* b) {
  if (!g_log) return;
  fprintf(g_log, "%s\t%s%s%s\n", what, relative(a), b ? "\t" : "", b ? relative(b) : "");
  fflush(g_log);
}

// Function types of the calls passed on.
typedef int (*openat_fn)(int, const char*, int, ...);
typedef int (*open_fn)(const char*, int, ...);
typedef int (*fd_fn)(int);
typedef ssize_t (*write_fn)(int, const void*, size_t);
typedef int (*rename_fn)(const char*, const char*);
typedef int (*renameat2_fn)(int, const char*, int, const char*, unsigned);
typedef int (*mkdir_fn)(const char*, mode_t);
typedef int (*unlink_fn)(const char*);

#define REAL(name, type)   \
  static type real_##name; \
  if (!real_##name) real_##name = (type)dlsym(RTLD_NEXT, #name)

static void remember(int fd, const char* path) {
  if (fd < 0 || fd >= MAX_FDS) return;
  free(g_fdPath[fd]);
  g_fdPath[fd] = underRoot(path) ? strdup(path) : NULL;
}

static const char* tracked(int fd);

// The host path a call names: a relative path is taken from the folder
// descriptor (or the working folder) it is relative to.
static const char* resolveAt(int dirfd, const char* path, char* full, size_t size) {
  if (!path || path[0] == '/') return path;
  char base[2048];
  if (dirfd == AT_FDCWD) {
    if (!getcwd(base, sizeof base)) return path;
  } else if (tracked(dirfd)) {
    snprintf(base, sizeof base, "%s", tracked(dirfd));
  } else {
    char link[64];
    snprintf(link, sizeof link, "/proc/self/fd/%d", dirfd);
    ssize_t n = readlink(link, base, sizeof base - 1);
    if (n <= 0) return path;
    base[n] = 0;
  }
  snprintf(full, size, "%s/%s", base, path);
  return full;
}

static int openCommon(int dirfd, const char* path, int flags, mode_t mode, int at) {
  setup();
  char full[4096];
  const char* host = resolveAt(dirfd, path, full, sizeof full);
  if (underRoot(host) && injected(OP_OPEN)) {
    errno = EIO;
    return -1;
  }
  int fd;
  if (at) {
    REAL(openat, openat_fn);
    fd = real_openat(dirfd, path, flags, mode);
  } else {
    REAL(open, open_fn);
    fd = real_open(path, flags, mode);
  }
  if (fd >= 0) {
    remember(fd, host);
    if ((flags & O_CREAT) && underRoot(host)) note("create", host, NULL);
  }
  return fd;
}

#define MODE_ARG(flags)                    \
  mode_t mode = 0;                         \
  if ((flags) & (O_CREAT | __O_TMPFILE)) { \
    va_list ap;                            \
    va_start(ap, flags);                   \
    mode = va_arg(ap, mode_t);             \
    va_end(ap);                            \
  }

int open(const char* path, int flags, ...) {
  MODE_ARG(flags);
  return openCommon(AT_FDCWD, path, flags, mode, 0);
}
int open64(const char* path, int flags, ...) {
  MODE_ARG(flags);
  return openCommon(AT_FDCWD, path, flags, mode, 0);
}
int __open_2(const char* path, int flags) {
  return openCommon(AT_FDCWD, path, flags, 0, 0);
}
int __open64_2(const char* path, int flags) {
  return openCommon(AT_FDCWD, path, flags, 0, 0);
}
int openat(int dirfd, const char* path, int flags, ...) {
  MODE_ARG(flags);
  return openCommon(dirfd, path, flags, mode, 1);
}
int openat64(int dirfd, const char* path, int flags, ...) {
  MODE_ARG(flags);
  return openCommon(dirfd, path, flags, mode, 1);
}

int close(int fd) {
  setup();
  REAL(close, fd_fn);
  if (fd >= 0 && fd < MAX_FDS) {
    free(g_fdPath[fd]);
    g_fdPath[fd] = NULL;
  }
  return real_close(fd);
}

static const char* tracked(int fd) {
  return fd >= 0 && fd < MAX_FDS ? g_fdPath[fd] : NULL;
}

ssize_t write(int fd, const void* buf, size_t count) {
  setup();
  REAL(write, write_fn);
  if (tracked(fd) && injected(OP_WRITE)) {
    errno = ENOSPC;
    return -1;
  }
  return real_write(fd, buf, count);
}

// Copies what the file holds now: the content a power cut after this sync keeps.
static void snapshot(int fd, const char* path) {
  struct stat st;
  if (fstat(fd, &st) != 0) return;
  if (S_ISDIR(st.st_mode)) {
    note("syncdir", path, NULL);
    return;
  }
  char name[4200];
  snprintf(name, sizeof name, "%s/snap-%ld", g_file, g_snapshots++);
  REAL(open, open_fn);
  REAL(write, write_fn);
  REAL(close, fd_fn);
  int out = real_open(name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (out < 0) return;
  // The writer's descriptor is write-only: read through a second one.
  int in = real_open(path, O_RDONLY | O_CLOEXEC);
  if (in < 0) {
    real_close(out);
    return;
  }
  char buf[65536];
  off_t at = 0;
  ssize_t n;
  while ((n = pread(in, buf, sizeof buf, at)) > 0) {
    if (real_write(out, buf, (size_t)n) != n) break;
    at += n;
  }
  real_close(in);
  real_close(out);
  if (g_log) {
    fprintf(g_log, "fsync\t%s\t%s\n", relative(path), name);
    fflush(g_log);
  }
}

static int syncCommon(int fd, int data) {
  setup();
  const char* path = tracked(fd);
  if (path && injected(OP_FSYNC)) {
    errno = EIO;
    return -1;
  }
  if (path && g_mode == MODE_RECORD) snapshot(fd, path);
  if (g_nosync) return 0;
  if (data) {
    REAL(fdatasync, fd_fn);
    return real_fdatasync(fd);
  }
  REAL(fsync, fd_fn);
  return real_fsync(fd);
}

int fsync(int fd) {
  return syncCommon(fd, 0);
}
int fdatasync(int fd) {
  return syncCommon(fd, 1);
}

int rename(const char* from, const char* to) {
  setup();
  REAL(rename, rename_fn);
  if (underRoot(to) && injected(OP_RENAME)) {
    errno = EIO;
    return -1;
  }
  int r = real_rename(from, to);
  if (r == 0 && underRoot(to)) note("rename", from, to);
  return r;
}

typedef int (*renameat_fn)(int, const char*, int, const char*);
typedef int (*unlinkat_fn)(int, const char*, int);

// renameat and renameat2 alike: the paths resolved from their folders,
// a rename into the root failed on demand and noted when it happened.
static int renameFrom(int fromfd, const char* from, int tofd, const char* to, int withFlags,
                      unsigned flags) {
  setup();
  REAL(renameat, renameat_fn);
  REAL(renameat2, renameat2_fn);
  char fromFull[4096], toFull[4096];
  const char* fromHost = resolveAt(fromfd, from, fromFull, sizeof fromFull);
  const char* toHost = resolveAt(tofd, to, toFull, sizeof toFull);
  if (underRoot(toHost) && injected(OP_RENAME)) {
    errno = EIO;
    return -1;
  }
  int r = withFlags ? real_renameat2(fromfd, from, tofd, to, flags)
                    : real_renameat(fromfd, from, tofd, to);
  if (r == 0 && underRoot(toHost)) note("rename", fromHost, toHost);
  return r;
}

int renameat2(int fromfd, const char* from, int tofd, const char* to, unsigned flags) {
  return renameFrom(fromfd, from, tofd, to, 1, flags);
}

int renameat(int fromfd, const char* from, int tofd, const char* to) {
  return renameFrom(fromfd, from, tofd, to, 0, 0);
}

int unlinkat(int dirfd, const char* path, int flags) {
  setup();
  REAL(unlinkat, unlinkat_fn);
  char full[4096];
  const char* host = resolveAt(dirfd, path, full, sizeof full);
  int r = real_unlinkat(dirfd, path, flags);
  if (r == 0 && underRoot(host)) note("unlink", host, NULL);
  return r;
}

int mkdir(const char* path, mode_t mode) {
  setup();
  REAL(mkdir, mkdir_fn);
  if (underRoot(path) && injected(OP_MKDIR)) {
    errno = EIO;
    return -1;
  }
  int r = real_mkdir(path, mode);
  if (r == 0 && underRoot(path)) note("mkdir", path, NULL);
  return r;
}

int unlink(const char* path) {
  setup();
  REAL(unlink, unlink_fn);
  int r = real_unlink(path);
  if (r == 0 && underRoot(path)) note("unlink", path, NULL);
  return r;
}
