// launchCV BUNDLE-ID: brings the app with that bundle identifier to the
// foreground, starting it when it is not running.
//
// It is started with "PROCESS=2" as its whole environment, so it finds
// everything from its own installed location instead: it lives at
// ROOT/usr/bin/launchCV, so ROOT is the device root (when it runs from
// anywhere else, the device root is the usual one: CORVANE_DEVICE_ROOT or
// the default). PROCESS is not used.
//
// The app is found by the CFBundleIdentifier of ROOT/Applications/*/Info.plist
// and started as its CFBundleExecutable inside its bundle folder, in a session
// of its own, with the bundle folder as working folder and an environment
// rebuilt from scratch: CORVANE_DEVICE_ROOT, PATH, and the display, locale,
// time-zone and sanitizer variables taken from the launcher's own
// environment or, failing that, from its parent's (the shell that started it).
//
// The app's standard output and error go to ROOT/var/run/launchCV/BUNDLE-ID.log,
// its standard input is /dev/null, and it inherits no other open file.
//
// The launcher records the pid of each app it starts in
// ROOT/var/run/launchCV/BUNDLE-ID.pid (an app may write it too). When that
// process is still the app, the app is raised instead: it is sent SIGUSR1,
// which an app brings its window to the front on. An app that does not catch
// SIGUSR1 is not signalled, since the signal would end it.
//
// Exit status: 0 started or raised, 64 usage, 2 no app with that bundle
// identifier, 3 the app's bundle is unusable, 4 the app could not be
// started, 5 the app runs but cannot be raised.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "Foundation/FileSystem.h"
#include "Foundation/PropertyList.h"
#include "Foundation/TextValue.h"

namespace {

enum ExitStatus {
  kDone = 0,
  kUnknownBundle = 2,
  kBadBundle = 3,
  kStartFailed = 4,
  kCannotRaise = 5,
  kUsage = 64,
};

constexpr std::string_view kInstalledPath = "/usr/bin/launchCV";
constexpr const char* kRunFolder = "/var/run/launchCV";

// Variables an app needs to show its window and format its dates the way the
// user's shell does; everything else of the caller's environment stays out.
constexpr const char* kPassedVariables[] = {
    "HOME",
    "DISPLAY",
    "WAYLAND_DISPLAY",
    "XDG_RUNTIME_DIR",
    "XAUTHORITY",
    "TZ",
    "LANG",
    "LC_ALL",
    "LC_TIME",
    "ASAN_OPTIONS",
    "UBSAN_OPTIONS",
    "LSAN_OPTIONS",
    // The toolkit's own: whether to open a window, and the screen to stand for.
    "CORVANE_HEADLESS",
    "CORVANE_SCREEN",
};

void fail(const char* format, ...) __attribute__((format(printf, 1, 2)));
void fail(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = ns::stringWithFormatV(format, args);
  va_end(args);
  std::fprintf(stderr, "launchCV: %s\n", text.c_str());
}

std::string readWholeFile(const std::string& hostPath) {
  std::ifstream in(hostPath, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// NUL-separated entries of a /proc file (environ, cmdline).
std::vector<std::string> procEntries(const std::string& hostPath) {
  std::vector<std::string> entries;
  std::string bytes = readWholeFile(hostPath);
  for (size_t start = 0; start < bytes.size();) {
    size_t end = bytes.find('\0', start);
    if (end == std::string::npos) end = bytes.size();
    entries.push_back(bytes.substr(start, end - start));
    start = end + 1;
  }
  return entries;
}

std::string ownDeviceRoot() {
  char self[4096];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n > 0) {
    std::string path(self, static_cast<size_t>(n));
    if (path.size() > kInstalledPath.size() && path.ends_with(kInstalledPath))
      return path.substr(0, path.size() - kInstalledPath.size());
  }
  return ns::deviceRoot();
}

// A bundle identifier names a file of the run folder, so it must be one
// plain name.
bool isPlainName(const std::string& text) {
  if (text.empty() || text == "." || text == "..") return false;
  return std::all_of(text.begin(), text.end(), [](unsigned char c) {
    return std::isalnum(c) || c == '.' || c == '-' || c == '_';
  });
}

struct AppBundle {
  std::string folder;      // device path of the .app folder
  std::string executable;  // device path of the program
};

std::optional<AppBundle> findApp(const std::string& bundleIdentifier) {
  std::vector<std::string> folders;
  if (DIR* dir = opendir(ns::hostPath("/Applications").c_str())) {
    while (dirent* entry = readdir(dir))
      if (entry->d_name[0] != '.') folders.push_back(entry->d_name);
    closedir(dir);
  }
  std::sort(folders.begin(), folders.end());
  for (const std::string& name : folders) {
    std::string folder = "/Applications/" + name;
    auto info = ns::dictionaryWithContentsOfFile(folder + "/Info.plist");
    if (!info) continue;
    const std::string* identifier = ns::stringForKey(*info, "CFBundleIdentifier");
    if (!identifier || *identifier != bundleIdentifier) continue;
    const std::string* executable = ns::stringForKey(*info, "CFBundleExecutable");
    // The program must sit in the bundle folder itself.
    if (!executable || !isPlainName(*executable)) return AppBundle{folder, ""};
    return AppBundle{folder, folder + "/" + *executable};
  }
  return std::nullopt;
}

// The pid recorded for the app when that process still runs the app's
// program (a recycled pid belongs to someone else).
pid_t runningInstance(const std::string& pidFile, const std::string& hostExecutable) {
  auto text = ns::readFileAtPath(pidFile, 64);
  if (!text) return 0;
  pid_t pid = ns::intValue(*text);
  if (pid <= 0 || (kill(pid, 0) != 0 && errno != EPERM)) return 0;
  // A script runs as "interpreter script", so the program is the first or
  // second word of its command line.
  auto args = procEntries("/proc/" + std::to_string(pid) + "/cmdline");
  for (size_t i = 0; i < args.size() && i < 2; ++i)
    if (args[i] == hostExecutable) return pid;
  return 0;
}

bool catchesSignal(pid_t pid, int signal) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (!line.starts_with("SigCgt:")) continue;
    unsigned long long mask = std::strtoull(line.c_str() + 7, nullptr, 16);
    return mask & (1ull << (signal - 1));
  }
  return false;
}

std::string variableOf(const std::vector<std::string>& environment, const std::string& name) {
  std::string prefix = name + "=";
  for (const std::string& entry : environment)
    if (entry.starts_with(prefix)) return entry;
  return "";
}

std::vector<std::string> appEnvironment(const std::string& root) {
  std::vector<std::string> env = {"CORVANE_DEVICE_ROOT=" + root,
                                  "PATH=/usr/local/bin:/usr/bin:/bin"};
  std::vector<std::string> parent = procEntries("/proc/" + std::to_string(getppid()) + "/environ");
  for (const char* name : kPassedVariables) {
    if (const char* own = std::getenv(name))
      env.push_back(std::string(name) + "=" + own);
    else if (std::string inherited = variableOf(parent, name); !inherited.empty())
      env.push_back(inherited);
  }
  return env;
}

// runFiles: device path of the app's files in the run folder, without suffix.
int startApp(const AppBundle& app, const std::string& root, const std::string& runFiles) {
  const std::string program = ns::hostPath(app.executable);
  const std::string folder = ns::hostPath(app.folder);
  const std::string log = ns::hostPath(runFiles + ".log");
  std::vector<std::string> env = appEnvironment(root);
  std::vector<char*> envp;
  for (std::string& entry : env) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::string argv0 = program;
  char* argv[] = {argv0.data(), nullptr};

  posix_spawnattr_t attr;
  posix_spawn_file_actions_t actions;
  posix_spawnattr_init(&attr);
  posix_spawn_file_actions_init(&actions);
  // Its own session, so it outlives the launcher and the shell's job control.
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
  // Nothing of the caller's open files: a caller reading the launcher's
  // output to its end must not wait for the app too.
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(),
                                   O_WRONLY | O_CREAT | O_APPEND, 0644);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
  posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  pid_t pid = 0;
  int error = posix_spawn(&pid, program.c_str(), &actions, &attr, argv, envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (error != 0) {
    fail("cannot start %s: %s", program.c_str(), std::strerror(error));
    return kStartFailed;
  }
  std::string why;
  if (!ns::writeFileAtomically(runFiles + ".pid", std::to_string(pid) + "\n", &why))
    fail("started the app, but cannot record it (a later tap may start it again): %s", why.c_str());
  std::printf("launchCV: started %s (pid %d)\n", app.folder.c_str(), static_cast<int>(pid));
  return kDone;
}

int launch(const std::string& bundleIdentifier) {
  const std::string root = ownDeviceRoot();
  // Foundation's file helpers find the device through this variable.
  setenv("CORVANE_DEVICE_ROOT", root.c_str(), 1);

  auto app = isPlainName(bundleIdentifier) ? findApp(bundleIdentifier) : std::nullopt;
  if (!app) {
    fail("no application with bundle identifier \"%s\" in %s/Applications",
         bundleIdentifier.c_str(), root.c_str());
    return kUnknownBundle;
  }
  if (app->executable.empty()) {
    fail("%s/Info.plist names no usable CFBundleExecutable", app->folder.c_str());
    return kBadBundle;
  }
  const std::string program = ns::hostPath(app->executable);
  if (access(program.c_str(), X_OK) != 0) {
    fail("%s is missing or not executable", program.c_str());
    return kBadBundle;
  }

  ns::createDirectoryAtPath(kRunFolder, true);
  const std::string runFiles = std::string(kRunFolder) + "/" + bundleIdentifier;
  // Two taps in a row must not start the app twice.
  std::string lockPath = ns::hostPath(runFiles + ".lock");
  int lock = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (lock < 0 || flock(lock, LOCK_EX) != 0)
    fail("cannot lock %s (%s); going on without the lock", lockPath.c_str(), std::strerror(errno));

  int status;
  if (pid_t pid = runningInstance(runFiles + ".pid", program)) {
    if (catchesSignal(pid, SIGUSR1) && kill(pid, SIGUSR1) == 0) {
      std::printf("launchCV: raised %s (pid %d)\n", app->folder.c_str(), static_cast<int>(pid));
      status = kDone;
    } else {
      fail("%s runs (pid %d) but does not take raise requests", app->folder.c_str(),
           static_cast<int>(pid));
      status = kCannotRaise;
    }
  } else {
    status = startApp(*app, root, runFiles);
  }
  if (lock >= 0) close(lock);
  return status;
}

}  // namespace

constexpr const char* kHelp =
    "Usage: launchCV BUNDLE-IDENTIFIER\n"
    "Brings the app with that bundle identifier to the front (SIGUSR1), or starts\n"
    "it from ROOT/Applications/*/ when it is not running; its output goes to\n"
    "ROOT/var/run/launchCV/BUNDLE-IDENTIFIER.log.\n"
    "\n"
    "Options:\n"
    "  -h, --help   show this help and exit\n"
    "\n"
    "Environment:\n"
    "  CORVANE_DEVICE_ROOT  the device root ROOT when launchCV is not installed\n"
    "                       as ROOT/usr/bin/launchCV (default ~/.local/share/corvane/device)\n"
    "  HOME, DISPLAY, WAYLAND_DISPLAY, XDG_RUNTIME_DIR, XAUTHORITY, TZ, LANG, LC_ALL\n"
    "                       passed on to the app (else taken from the parent's)\n"
    "  PROCESS              set by the launch page; not used\n"
    "\n"
    "Exit status: 0 started or raised, 2 no such app (or an unknown option),\n"
    "3 unusable bundle, 4 not started, 5 running but cannot be raised, 64 usage.\n";

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
    std::fputs(kHelp, stdout);
    return 0;
  }
  if (argc == 2 && argv[1][0] == '-') {
    std::fprintf(stderr, "launchCV: unknown option '%s'; try 'launchCV --help'\n", argv[1]);
    return 2;
  }
  if (argc != 2) {
    std::fprintf(stderr, "usage: launchCV BUNDLE-IDENTIFIER; try 'launchCV --help'\n");
    return kUsage;
  }
  return launch(argv[1]);
}
