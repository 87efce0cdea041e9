// The desktop's music players as a now-playing source (--players). Players
// publish what they play on the D-Bus session bus (the MPRIS interface
// org.mpris.MediaPlayer2.Player at /org/mpris/MediaPlayer2, one bus name
// org.mpris.MediaPlayer2.* each). The shell follows them on its main run
// loop, with no thread of its own:
//
// - Players are found by their names appearing on and vanishing from the
//   bus; a connection holding several names is one player. Each signal is
//   handled once, for the connection that sent it, and at most a bounded
//   number of messages is handled per turn of the run loop. Of several, the controls show the one
//   that most recently started playing among those that play now; when none plays, the one that
//   played last (paused, as a phone keeps showing the app it last played).
// - Metadata and PlaybackStatus come from PropertiesChanged; Position is
//   read when a player appears, changes track or status, and every few
//   seconds while it plays, and the Seeked signal moves it. Between reads
//   the position runs on the shell's own clock at the player's Rate.
// - The controls show the position in whole seconds, from 0 to the track's
//   length: exactly 0 through the first second of a track and after a seek
//   back to its start (a slightly negative position included), which is
//   where the recorder sees a track start. The shown state changes at most
//   once a second while a player plays and not at all while none does.
// - What a player sends is taken with care: a text of another type is
//   absent (the artist may also be one string instead of a list), control
//   characters become spaces, a text is cut to kMaxTextUnits, a position
//   past the end shows the end, and a player whose Position never moves is
//   timed by the shell's clock alone.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "SpringBoard/NowPlayingCenter.h"
#include "SpringBoard/NowPlayingSource.h"

namespace springboard {

enum class PlaybackStatus { Stopped, Paused, Playing };

// What the shell knows of one player.
struct PlayerModel {
  std::string name;  // its bus name, org.mpris.MediaPlayer2.*
  std::optional<std::string> title, album, artist;
  std::string trackId;
  std::optional<double> length;  // seconds, when the player gives one
  PlaybackStatus status = PlaybackStatus::Stopped;
  double position = 0;    // seconds, as last learnt
  double positionAt = 0;  // clock time when it was learnt
  double rate = 1;
  uint64_t startedPlaying = 0;  // order of its latest start of playback; 0: never
  uint64_t appeared = 0;        // order of appearance

  // The position the player would report at clock time now (not rounded).
  double reportedPosition(double now) const;
  // Takes a position the player reported at clock time now. A player whose
  // reports stay the same while it plays does not move its Position: its
  // later reports are ignored and the shell's clock times it.
  void takePositionReport(double seconds, double now);
  // Sets the position (a seek, a new track) and restarts the clock at now.
  void setPosition(double seconds, double now);
  void setStatus(PlaybackStatus status, double now, uint64_t order);

  bool positionLive = true;
  std::optional<double> lastReport;  // the latest report since the last seek
  double reportBase = 0;             // where the clock restarted at that report
  uint64_t positionEpoch = 0;        // counts setPosition: answers asked before are stale
};

constexpr size_t kMaxTextUnits = 256;

// A player's text as the controls show it: control characters as spaces,
// cut to kMaxTextUnits UTF-16 units, white space at the ends dropped;
// nothing left is absent.
std::optional<std::string> cleanPlayerText(std::string_view text);

// Whole seconds from 0 to the length (when known) at clock time now.
float shownPosition(const PlayerModel& player, double now);
// The clock time after now when the shown position next changes; infinity
// when it does not (paused, or at the end).
double nextShownChange(const PlayerModel& player, double now);
// The state the controls show for the player (none: nothing playing).
NowPlayingState shownState(const PlayerModel* player, double now);
// Index of the player the controls follow; nullopt when there is none.
std::optional<size_t> choosePlayer(const std::vector<const PlayerModel*>& players);

// Whether a player (its bus name, its Identity when known) is the one a
// user named: the bus name after "org.mpris.MediaPlayer2.", an instance
// suffix (".instance1234") aside, or the Identity, case-insensitively.
bool playerNameMatches(const std::string& busName, const std::optional<std::string>& identity,
                       const std::string& name);

// Follows the players on a session bus and sets the now-playing center
// from the chosen one.
class DesktopPlayers : public NowPlayingSource {
 public:
  // The bus at address; "" for the user's session bus.
  explicit DesktopPlayers(std::string address = "");
  ~DesktopPlayers() override;
  DesktopPlayers(const DesktopPlayers&) = delete;
  DesktopPlayers& operator=(const DesktopPlayers&) = delete;

  // Connects and starts following. false with *error saying why when there
  // is no bus; the center then stays at nothing playing.
  bool start(std::string* error) override;
  // Disconnects; the center shows nothing playing.
  void stop() override;
  // Which players may be shown (before start): none of ignore, and when
  // only is not empty, only those. See playerNameMatches.
  void choose(std::vector<std::string> only, std::vector<std::string> ignore);
  // From start on, prints a line on standard output for every song the
  // controls change to and when it pauses or plays again, saying whether the
  // recorder counts it.
  void printSongChanges() { printsSongs_ = true; }
  // The bus name of the player the controls show; "" for none.
  std::string chosenPlayer() const;
  // The bus names of the players that may be shown.
  std::vector<std::string> players() const;

  // --players, with --only and --ignore.
  static NowPlayingSourceKind kind();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::string address_;
  bool printsSongs_ = false;
  int songObserver_ = 0;
};

}  // namespace springboard
