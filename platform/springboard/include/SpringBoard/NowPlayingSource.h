// Where what plays comes from. The shell runs at most one source, chosen by
// its option on the command line; from start to stop the source sets the
// NowPlayingCenter. A new source is its own file (its class and its kind)
// and one line in the list of kinds in NowPlayingSources.cpp.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace springboard {

class NowPlayingSource {
 public:
  virtual ~NowPlayingSource() = default;
  // Starts setting the center; the clock's time now is the source's start.
  // false with *error (one line) when it cannot; the center then shows
  // nothing playing and the shell carries on.
  virtual bool start(std::string* error) = 0;
  // Leaves nothing of the source on the run loop (no task, descriptor or
  // observer) and the center at nothing playing. Harmless when not started.
  virtual void stop() = 0;
};

// What the command line gives a source.
struct NowPlayingSourceOptions {
  std::string value;                      // the option's value, when it takes one
  std::vector<std::string> only, ignore;  // --only, --ignore
};

// A source the command line can choose, with its part of --help.
struct NowPlayingSourceKind {
  std::string option;     // the option that chooses it: "--feed"
  std::string valueName;  // the option's value ("FILE"); empty when it takes none
  std::string synopsis;   // its part of the usage line
  std::string help;       // its lines in the list of options
  std::string notes;      // a paragraph after that list, or empty
  // What it follows in the real world ("real players"), empty for none: such
  // a source runs on the real clock only and records for real.
  std::string realWorld;
  bool takesPlayerNames = false;  // --only and --ignore choose among what it follows
  // Makes the source before the shell starts (a file it reads is read
  // here); nullptr with *error when it cannot be used, and the shell ends.
  std::function<std::unique_ptr<NowPlayingSource>(const NowPlayingSourceOptions&, std::string*)>
      make;
};

// The kinds the shell knows, in the order --help lists them.
const std::deque<NowPlayingSourceKind>& nowPlayingSourceKinds();
// The kind the option chooses; nullptr for none.
const NowPlayingSourceKind* findNowPlayingSourceKind(const std::string& option);
// Adds a kind after the built-in ones (a test's double); false when its
// option already chooses one.
bool addNowPlayingSourceKind(NowPlayingSourceKind kind);

}  // namespace springboard
