// Helpers for the tests of the shell with the desktop's players: a private
// session bus, started processes whose output lines are read as they come,
// short tagged audio files, and mpv driven through its input socket.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"

extern char** environ;

namespace playerstest {

inline bool haveProgram(const char* name) {
  int status = -1;
  testsupport::runCommand(std::string("command -v ") + name + " >/dev/null 2>&1", &status);
  return status == 0;
}

// A started program with its standard output (and error) on a pipe.
class Process {
 public:
  // argv[0] is looked up in PATH; environment entries are added to ours.
  Process(const std::vector<std::string>& argv, const std::vector<std::string>& environment = {}) {
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, out[1], 2);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<std::string> envText(environment);
    for (char** e = environ; *e; ++e) envText.push_back(*e);
    std::vector<char*> env;
    for (const std::string& e : envText) env.push_back(const_cast<char*>(e.c_str()));
    env.push_back(nullptr);
    if (posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), env.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    out_ = out[0];
    fcntl(out_, F_SETFL, O_NONBLOCK);
  }
  ~Process() {
    // TERM first: a "timeout" wrapper passes it on to what it runs.
    stop(SIGTERM, 2);
    if (out_ >= 0) close(out_);
  }
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  bool started() const { return pid_ > 0; }

  // The next output line, or nullopt when none comes within seconds.
  std::optional<std::string> nextLine(double seconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (true) {
      if (size_t end = buffer_.find('\n'); end != std::string::npos) {
        std::string line = buffer_.substr(0, end);
        buffer_.erase(0, end + 1);
        all_ += line + "\n";
        return line;
      }
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                      deadline - std::chrono::steady_clock::now())
                      .count();
      if (left <= 0 || out_ < 0) return std::nullopt;
      pollfd p{out_, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
      char chunk[4096];
      ssize_t n = read(out_, chunk, sizeof chunk);
      if (n <= 0) {
        close(out_);
        out_ = -1;
        continue;
      }
      buffer_.append(chunk, static_cast<size_t>(n));
    }
  }
  // Reads lines until one contains text; false when none does in time.
  bool waitForLine(const std::string& text, double seconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (true) {
      double left =
          std::chrono::duration<double>(deadline - std::chrono::steady_clock::now()).count();
      if (left <= 0) return false;
      auto line = nextLine(left);
      if (!line) return false;
      if (line->find(text) != std::string::npos) return true;
    }
  }
  // Everything read so far and whatever is left, for messages.
  std::string output() {
    while (nextLine(0.05)) {
    }
    return all_ + buffer_;
  }

  // Signals the program and waits (bounded) for it to end; its exit status,
  // or -1 when it had to be killed or was not running.
  int stop(int signal = SIGTERM, double seconds = 10) {
    if (pid_ <= 0) return -1;
    kill(pid_, signal);
    return wait(seconds);
  }
  // Waits for the program to end by itself; -1 if it does not in time.
  int wait(double seconds) {
    if (pid_ <= 0) return -1;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    int status = 0;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    pid_ = -1;
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return 128 + WTERMSIG(status);
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string buffer_;
  std::string all_;
};

// A session bus of the test's own, gone with the object.
class PrivateBus {
 public:
  // Bounded: should the test die, the daemon does not outlive it for long.
  PrivateBus()
      : daemon_({"timeout", "120", "dbus-daemon", "--session", "--nofork", "--print-address=1"}) {
    if (auto line = daemon_.nextLine(10)) address_ = *line;
  }
  const std::string& address() const { return address_; }
  bool running() const { return !address_.empty(); }
  void stop() { daemon_.stop(); }

 private:
  Process daemon_;
  std::string address_;
};

// Where Debian puts the mpv-mpris plugin; "" when it is not installed.
inline std::string mprisPlugin() {
  for (const char* path : {"/usr/lib/mpv-mpris/mpris.so", "/etc/mpv/scripts/mpris.so"})
    if (access(path, R_OK) == 0) return path;
  return "";
}

// A tagged sine tone of the given length; false when ffmpeg fails.
inline bool makeTrack(const std::string& path, double seconds, const std::string& title,
                      const std::string& album, const std::string& artist) {
  int status = -1;
  std::string out = testsupport::runCommand(
      "ffmpeg -hide_banner -loglevel error -y -f lavfi -i 'sine=frequency=440:duration=" +
          std::to_string(seconds) + "' -metadata title='" + title + "' -metadata album='" + album +
          "' -metadata artist='" + artist + "' -c:a libvorbis '" + path + "' 2>&1 </dev/null",
      &status);
  return status == 0;
}

// mpv without window, audio device or the user's configuration, publishing
// on the bus through the plugin, with an input socket to drive it.
class Mpv {
 public:
  Mpv(const std::string& busAddress, const std::string& socket,
      const std::vector<std::string>& files)
      : socket_(socket),
        process_(arguments(socket, files), {"DBUS_SESSION_BUS_ADDRESS=" + busAddress}) {}

  // Sends one JSON command ({"command": [...]}); false when the socket is not there.
  bool command(const std::string& json) {
    for (int attempt = 0; attempt < 100; ++attempt) {
      int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
      sockaddr_un address{};
      address.sun_family = AF_UNIX;
      socket_.copy(address.sun_path, sizeof address.sun_path - 1);
      if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        std::string line = json + "\n";
        bool sent = write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
        // The reply says it was done.
        pollfd p{fd, POLLIN, 0};
        poll(&p, 1, 2000);
        close(fd);
        return sent;
      }
      close(fd);
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }
  Process& process() { return process_; }

 private:
  static std::vector<std::string> arguments(const std::string& socket,
                                            const std::vector<std::string>& files) {
    std::vector<std::string> args = {
        "timeout",    "120",       "mpv",       "--no-config",   "--script=" + mprisPlugin(),
        "--no-video", "--ao=null", "--idle=no", "--no-terminal", "--input-ipc-server=" + socket};
    args.insert(args.end(), files.begin(), files.end());
    return args;
  }
  std::string socket_;
  Process process_;
};

}  // namespace playerstest
