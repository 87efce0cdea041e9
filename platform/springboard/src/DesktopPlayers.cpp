#include "SpringBoard/DesktopPlayers.h"

#include <poll.h>
#include <sdbus-c++/sdbus-c++.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <map>

#include "Foundation/NSDate.h"
#include "Foundation/RunLoop.h"
#include "Foundation/TextValue.h"

namespace springboard {

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
// Far beyond any track; keeps the float the slider holds meaningful.
constexpr double kMaxPosition = 1e7;
// Past a whole second by this much, so rounding never shows the second before.
constexpr double kBoundaryMargin = 1e-3;
// While the chosen player plays, its Position is read this often: it catches
// seeks a player does not signal and drift of its rate.
constexpr double kResyncInterval = 5;
constexpr uint64_t kCallTimeoutUs = 3'000'000;

constexpr const char* kPlayerPrefix = "org.mpris.MediaPlayer2.";
constexpr const char* kPlayerPath = "/org/mpris/MediaPlayer2";
constexpr const char* kPlayerInterface = "org.mpris.MediaPlayer2.Player";
constexpr const char* kProperties = "org.freedesktop.DBus.Properties";

bool isPlayerName(const std::string& name) {
  size_t prefix = std::char_traits<char>::length(kPlayerPrefix);
  return name.size() > prefix && name.compare(0, prefix, kPlayerPrefix) == 0;
}

using Properties = std::map<std::string, sdbus::Variant>;

// Messages handled in one turn of the run loop: a bus that never goes quiet
// must not keep the timers waiting.
constexpr int kMessagesPerTurn = 64;

std::string lowered(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::optional<std::string> textOf(const sdbus::Variant& value) {
  if (value.containsValueOfType<std::string>()) return cleanPlayerText(value.get<std::string>());
  return std::nullopt;
}

// A number of any D-Bus numeric type; players disagree on the type of
// lengths and positions.
std::optional<double> numberOf(const sdbus::Variant& value) {
  std::string type = value.peekValueType();
  if (type == "x") return static_cast<double>(value.get<int64_t>());
  if (type == "t") return static_cast<double>(value.get<uint64_t>());
  if (type == "i") return value.get<int32_t>();
  if (type == "u") return value.get<uint32_t>();
  if (type == "d") return value.get<double>();
  return std::nullopt;
}

struct Track {
  std::optional<std::string> title, album, artist;
  std::string trackId;
  std::optional<double> length;
};

Track readMetadata(const sdbus::Variant& value) {
  Track track;
  if (!value.containsValueOfType<Properties>()) return track;
  Properties metadata = value.get<Properties>();
  for (auto& [key, item] : metadata) {
    if (key == "xesam:title") {
      track.title = textOf(item);
    } else if (key == "xesam:album") {
      track.album = textOf(item);
    } else if (key == "xesam:artist") {
      if (item.containsValueOfType<std::vector<std::string>>()) {
        auto artists = item.get<std::vector<std::string>>();
        if (!artists.empty()) track.artist = cleanPlayerText(artists.front());
      } else {
        track.artist = textOf(item);
      }
    } else if (key == "mpris:length") {
      auto us = numberOf(item);
      if (us && std::isfinite(*us) && *us > 0) track.length = *us / 1e6;
    } else if (key == "mpris:trackid") {
      if (item.containsValueOfType<sdbus::ObjectPath>())
        track.trackId = item.get<sdbus::ObjectPath>();
      else if (item.containsValueOfType<std::string>())
        track.trackId = item.get<std::string>();
    }
  }
  return track;
}

std::optional<PlaybackStatus> readStatus(const sdbus::Variant& value) {
  if (!value.containsValueOfType<std::string>()) return std::nullopt;
  std::string text = value.get<std::string>();
  if (text == "Playing") return PlaybackStatus::Playing;
  if (text == "Paused") return PlaybackStatus::Paused;
  return PlaybackStatus::Stopped;
}

}  // namespace

// --- the model -------------------------------------------------------------------

double PlayerModel::reportedPosition(double now) const {
  double elapsed = status == PlaybackStatus::Playing ? std::max(0.0, now - positionAt) * rate : 0;
  return position + elapsed;
}

void PlayerModel::setPosition(double seconds, double now) {
  position = std::isfinite(seconds) ? seconds : 0;
  positionAt = now;
  lastReport.reset();
  ++positionEpoch;
}

void PlayerModel::takePositionReport(double seconds, double now) {
  if (!std::isfinite(seconds) || !positionLive) return;
  double played = reportedPosition(now) - reportBase;
  if (lastReport && *lastReport == seconds && played >= 1.0) {
    // It played a second or more and reports the same: its Position is not live.
    positionLive = false;
    return;
  }
  position = seconds;
  positionAt = now;
  lastReport = seconds;
  reportBase = seconds;
}

void PlayerModel::setStatus(PlaybackStatus newStatus, double now, uint64_t order) {
  position = reportedPosition(now);
  positionAt = now;
  if (newStatus == PlaybackStatus::Playing && status != PlaybackStatus::Playing)
    startedPlaying = order;
  status = newStatus;
}

std::optional<std::string> cleanPlayerText(std::string_view text) {
  std::string clean = ns::utf16Prefix(text, kMaxTextUnits);
  std::string out;
  out.reserve(clean.size());
  for (size_t i = 0; i < clean.size(); ++i) {
    auto c = static_cast<unsigned char>(clean[i]);
    if (c < 0x20 || c == 0x7f) {
      out += ' ';
    } else if (c == 0xc2 && i + 1 < clean.size() &&
               static_cast<unsigned char>(clean[i + 1]) <= 0x9f &&
               static_cast<unsigned char>(clean[i + 1]) >= 0x80) {
      out += ' ';  // U+0080 .. U+009F
      ++i;
    } else {
      out += clean[i];
    }
  }
  size_t first = out.find_first_not_of(' ');
  if (first == std::string::npos) return std::nullopt;
  size_t last = out.find_last_not_of(' ');
  return out.substr(first, last - first + 1);
}

float shownPosition(const PlayerModel& player, double now) {
  double p = player.reportedPosition(now);
  if (!std::isfinite(p) || p < 0) p = 0;
  if (player.length && p > *player.length) p = *player.length;
  return static_cast<float>(std::floor(std::min(p, kMaxPosition)));
}

double nextShownChange(const PlayerModel& player, double now) {
  if (player.status != PlaybackStatus::Playing || !(player.rate > 0)) return kInfinity;
  double p = player.reportedPosition(now);
  if (!std::isfinite(p) || p >= kMaxPosition) return kInfinity;
  double next = std::floor(std::max(p, 0.0)) + 1;
  if (player.length && next > *player.length) return kInfinity;
  return now + (next - p) / player.rate + kBoundaryMargin;
}

NowPlayingState shownState(const PlayerModel* player, double now) {
  NowPlayingState state;
  if (!player) return state;
  state.title = player->title;
  state.album = player->album;
  state.artist = player->artist;
  state.position = shownPosition(*player, now);
  state.playing = player->status == PlaybackStatus::Playing;
  return state;
}

std::optional<size_t> choosePlayer(const std::vector<const PlayerModel*>& players) {
  std::optional<size_t> best;
  auto better = [](const PlayerModel& a, const PlayerModel& b) {
    bool aPlays = a.status == PlaybackStatus::Playing, bPlays = b.status == PlaybackStatus::Playing;
    if (aPlays != bPlays) return aPlays;
    if (a.startedPlaying != b.startedPlaying) return a.startedPlaying > b.startedPlaying;
    return a.appeared < b.appeared;
  };
  for (size_t i = 0; i < players.size(); ++i)
    if (!best || better(*players[i], *players[*best])) best = i;
  return best;
}

// --- on the bus ------------------------------------------------------------------------

bool playerNameMatches(const std::string& busName, const std::optional<std::string>& identity,
                       const std::string& name) {
  std::string wanted = lowered(name);
  if (wanted.empty()) return false;
  std::string own = isPlayerName(busName)
                        ? lowered(busName.substr(std::char_traits<char>::length(kPlayerPrefix)))
                        : lowered(busName);
  if (own == wanted || own.compare(0, wanted.size() + 1, wanted + ".") == 0) return true;
  return identity && lowered(*identity) == wanted;
}

struct DesktopPlayers::Impl {
  // One per connection: MPRIS has one player object per connection, however
  // many player names the connection holds, and its signals carry only the
  // connection's unique name.
  struct Player {
    uint64_t id = 0;
    std::string owner;               // unique bus name: signals come from it
    std::vector<std::string> names;  // its org.mpris.MediaPlayer2.* names, first first
    PlayerModel model;
    std::unique_ptr<sdbus::IProxy> proxy;
    std::optional<std::string> identity;
    bool decided = false;  // whether followed is known yet (its Identity read)
    bool followed = false;
  };

  ns::RunLoop& loop = ns::RunLoop::main();
  std::unique_ptr<sdbus::IConnection> bus;
  std::unique_ptr<sdbus::IProxy> daemon;
  sdbus::Slot changedMatch, seekedMatch;
  std::vector<std::unique_ptr<Player>> players;
  std::vector<std::string> only, ignore;
  std::string chosen;
  uint64_t order = 0;
  bool pumping = false, dirty = false;
  ns::RunLoop::WatchId watch = 0;
  ns::RunLoop::TaskId timeoutTask = 0, changeTask = 0, resyncTask = 0, lostTask = 0, moreTask = 0;

  ~Impl() { stop(); }

  void stop() {
    for (ns::RunLoop::TaskId* task :
         {&timeoutTask, &changeTask, &resyncTask, &lostTask, &moreTask}) {
      if (*task) loop.cancel(*task);
      *task = 0;
    }
    if (watch) loop.unwatchDescriptor(watch);
    watch = 0;
    players.clear();
    changedMatch.reset();
    seekedMatch.reset();
    daemon.reset();
    bus.reset();
  }

  Player* find(uint64_t id) {
    for (auto& p : players)
      if (p->id == id) return p.get();
    return nullptr;
  }
  Player* followedOwner(const std::string& owner) {
    for (auto& p : players)
      if (p->owner == owner) return p->followed ? p.get() : nullptr;
    return nullptr;
  }

  bool matchesAny(const Player& p, const std::vector<std::string>& list) const {
    for (const std::string& wanted : list)
      for (const std::string& name : p.names)
        if (playerNameMatches(name, p.identity, wanted)) return true;
    return false;
  }
  // Whether the controls may show it: an ignored player is as if it did not exist.
  void decide(Player& p) {
    bool was = p.followed;
    p.followed = !matchesAny(p, ignore) && (only.empty() || matchesAny(p, only));
    if (p.followed && !was) readAll(p);
    if (was != p.followed) update();
  }

  // Handles what the bus has for us, a bounded number of messages a turn (the
  // rest in the next turn, after the timers due), then waits for more. What
  // the controls show is worked out once per turn, not once per message.
  void pump() {
    if (!bus || !watch) return;
    if (moreTask) loop.cancel(moreTask);
    moreTask = 0;
    bool more = false;
    pumping = true;
    try {
      for (int n = 0; n < kMessagesPerTurn && (more = bus->processPendingRequest()); ++n) {
      }
    } catch (const std::exception& e) {
      pumping = false;
      lost(e.what());
      return;
    }
    pumping = false;
    if (dirty) {
      dirty = false;
      update();
    }
    if (more && bus && watch)
      moreTask = loop.performAfter(0, [this] {
        moreTask = 0;
        pump();
      });
    rearm();
  }

  void rearm() {
    if (!bus || !watch) return;
    if (timeoutTask) loop.cancel(timeoutTask);
    timeoutTask = 0;
    sdbus::IConnection::PollData poll;
    try {
      poll = bus->getEventLoopPollData();
    } catch (const std::exception& e) {
      lost(e.what());
      return;
    }
    loop.setWatchedEvents(watch, poll.events);
    if (auto timeout = poll.getRelativeTimeout()) {
      timeoutTask = loop.performAfter(static_cast<double>(timeout->count()) / 1e6, [this] {
        timeoutTask = 0;
        pump();
      });
    }
  }

  void lost(const std::string& why) {
    if (!watch) return;
    // A closed socket stays ready: stop looking at it at once.
    loop.unwatchDescriptor(watch);
    watch = 0;
    std::fprintf(stderr, "SpringBoard: the session bus went away (%s); nothing is playing\n",
                 why.c_str());
    // Not from inside a bus callback: the connection is still in use there.
    lostTask = loop.performAfter(0, [this] {
      lostTask = 0;
      stop();
      update();
    });
  }

  bool start(const std::string& address, std::string* error) {
    try {
      bus = address.empty() ? sdbus::createSessionBusConnection()
                            : sdbus::createSessionBusConnectionWithAddress(address);
      daemon = sdbus::createProxy(*bus, "org.freedesktop.DBus", "/org/freedesktop/DBus");
      daemon->registerSignalHandler("org.freedesktop.DBus", "NameOwnerChanged",
                                    [this](sdbus::Signal& signal) { nameOwnerChanged(signal); });
      daemon->finishRegistration();
      // One match for every player's signals: each message is handled once,
      // for the connection that sent it.
      changedMatch = bus->addMatch(std::string("type='signal',interface='") + kProperties +
                                       "',member='PropertiesChanged',path='" + kPlayerPath + "'",
                                   [this](sdbus::Message& m) { changed(m); });
      seekedMatch = bus->addMatch(std::string("type='signal',interface='") + kPlayerInterface +
                                      "',member='Seeked',path='" + kPlayerPath + "'",
                                  [this](sdbus::Message& m) { seeked(m); });
      auto poll = bus->getEventLoopPollData();
      watch = loop.watchDescriptor(poll.fd, poll.events, [this] { pump(); });
      auto call = daemon->createMethodCall("org.freedesktop.DBus", "ListNames");
      daemon->callMethod(
          call, [this](sdbus::MethodReply& reply, const sdbus::Error* e) { listed(reply, e); },
          kCallTimeoutUs);
    } catch (const std::exception& e) {
      if (error) *error = e.what();
      stop();
      return false;
    }
    pump();
    return true;
  }

  // Sends a call whose answer comes to handler. One that cannot be sent is as
  // one never answered: a broken connection shows on its descriptor.
  template <class... Args>
  void ask(sdbus::IProxy& proxy, const char* interface, const char* method,
           sdbus::async_reply_handler handler, const Args&... args) {
    try {
      auto call = proxy.createMethodCall(interface, method);
      (call << ... << args);
      proxy.callMethod(call, std::move(handler), kCallTimeoutUs);
    } catch (const std::exception&) {
    }
  }

  void listed(sdbus::MethodReply& reply, const sdbus::Error* error) {
    if (error) return;
    std::vector<std::string> names;
    try {
      reply >> names;
    } catch (const std::exception&) {
      return;
    }
    for (const std::string& name : names) {
      if (!isPlayerName(name)) continue;
      ask(
          *daemon, "org.freedesktop.DBus", "GetNameOwner",
          [this, name](sdbus::MethodReply& reply, const sdbus::Error* e) {
            std::string owner;
            if (e) return;
            try {
              reply >> owner;
            } catch (const std::exception&) {
              return;
            }
            appear(name, owner);
          },
          name);
    }
  }

  void nameOwnerChanged(sdbus::Signal& signal) {
    std::string name, oldOwner, newOwner;
    try {
      signal >> name >> oldOwner >> newOwner;
    } catch (const std::exception&) {
      return;
    }
    if (!isPlayerName(name)) return;
    if (!oldOwner.empty()) vanish(name);
    if (!newOwner.empty()) appear(name, newOwner);
  }

  void appear(const std::string& name, const std::string& owner) {
    for (auto& p : players)
      if (std::find(p->names.begin(), p->names.end(), name) != p->names.end()) {
        if (p->owner == owner) return;
        vanish(name);
        break;
      }
    for (auto& p : players)
      if (p->owner == owner) {
        p->names.push_back(name);
        if (p->decided) decide(*p);
        return;
      }
    auto player = std::make_unique<Player>();
    player->id = ++order;
    player->owner = owner;
    player->names.push_back(name);
    player->model.name = name;
    player->model.appeared = player->id;
    player->model.positionAt = loop.uptime();
    try {
      player->proxy = sdbus::createProxy(*bus, owner, kPlayerPath);
    } catch (const std::exception&) {
      return;  // gone again already
    }
    players.push_back(std::move(player));
    Player& p = *players.back();
    if (only.empty() && ignore.empty()) {
      p.decided = true;
      decide(p);
      return;
    }
    // Chosen by name or Identity: not shown until its Identity is known.
    uint64_t id = p.id;
    ask(
        *p.proxy, kProperties, "Get",
        [this, id](sdbus::MethodReply& reply, const sdbus::Error* e) {
          Player* p = find(id);
          if (!p) return;
          if (!e) {
            try {
              sdbus::Variant value;
              reply >> value;
              if (value.containsValueOfType<std::string>()) p->identity = value.get<std::string>();
            } catch (const std::exception&) {
            }
          }
          p->decided = true;
          decide(*p);
        },
        std::string("org.mpris.MediaPlayer2"), std::string("Identity"));
  }

  void vanish(const std::string& name) {
    for (auto it = players.begin(); it != players.end(); ++it) {
      Player& p = **it;
      auto at = std::find(p.names.begin(), p.names.end(), name);
      if (at == p.names.end()) continue;
      p.names.erase(at);
      if (p.names.empty())
        players.erase(it);
      else if (p.decided)
        decide(p);
      update();
      return;
    }
  }

  void readAll(Player& player) {
    uint64_t id = player.id, epoch = player.model.positionEpoch;
    ask(
        *player.proxy, kProperties, "GetAll",
        [this, id, epoch](sdbus::MethodReply& reply, const sdbus::Error* e) {
          Player* p = find(id);
          if (!p || e) return;
          Properties properties;
          try {
            reply >> properties;
          } catch (const std::exception&) {
            return;
          }
          // A seek since the call makes its Position stale.
          if (p->model.positionEpoch != epoch) properties.erase("Position");
          take(*p, properties, /*signalled=*/false);
        },
        std::string(kPlayerInterface));
  }

  void readPosition(Player& player) {
    uint64_t id = player.id, epoch = player.model.positionEpoch;
    ask(
        *player.proxy, kProperties, "Get",
        [this, id, epoch](sdbus::MethodReply& reply, const sdbus::Error* e) {
          Player* p = find(id);
          if (!p) return;
          // A seek or a new track since the call makes the answer stale.
          if (!e && p->model.positionEpoch == epoch) {
            sdbus::Variant value;
            try {
              reply >> value;
              if (auto us = numberOf(value)) p->model.takePositionReport(*us / 1e6, loop.uptime());
            } catch (const std::exception&) {
            }
          }
          update();
        },
        std::string(kPlayerInterface), std::string("Position"));
  }

  void changed(sdbus::Message& signal) {
    Player* p = followedOwner(signal.getSender());
    if (!p) return;
    std::string interface;
    Properties properties;
    std::vector<std::string> invalidated;
    try {
      signal >> interface >> properties >> invalidated;
    } catch (const std::exception&) {
      return;
    }
    if (interface != kPlayerInterface) return;
    take(*p, properties, /*signalled=*/true);
    // Some players name what changed instead of sending it.
    if (!invalidated.empty()) readAll(*p);
  }

  void seeked(sdbus::Message& signal) {
    Player* p = followedOwner(signal.getSender());
    if (!p) return;
    int64_t us = 0;
    try {
      signal >> us;
    } catch (const std::exception&) {
      return;
    }
    p->model.setPosition(static_cast<double>(us) / 1e6, loop.uptime());
    update();
  }

  void take(Player& player, const Properties& properties, bool signalled) {
    double now = loop.uptime();
    PlayerModel& m = player.model;
    bool readPositionAfter = false;
    try {
      if (auto it = properties.find("Metadata"); it != properties.end()) {
        Track track = readMetadata(it->second);
        bool newTrack = track.trackId != m.trackId || track.title != m.title ||
                        track.album != m.album || track.artist != m.artist;
        m.title = track.title;
        m.album = track.album;
        m.artist = track.artist;
        m.trackId = track.trackId;
        m.length = track.length;
        if (newTrack) {
          // Until the player says otherwise, a new track starts at 0.
          m.setPosition(0, now);
          readPositionAfter = signalled;
        }
      }
      if (auto it = properties.find("PlaybackStatus"); it != properties.end()) {
        if (auto status = readStatus(it->second); status && *status != m.status) {
          m.setStatus(*status, now, ++order);
          readPositionAfter = signalled;
        }
      }
      if (auto it = properties.find("Rate"); it != properties.end()) {
        auto rate = numberOf(it->second);
        if (rate && std::isfinite(*rate) && *rate >= 0 && *rate <= 100) {
          m.position = m.reportedPosition(now);
          m.positionAt = now;
          m.rate = *rate;
        }
      }
      if (auto it = properties.find("Position"); it != properties.end()) {
        if (auto us = numberOf(it->second)) m.takePositionReport(*us / 1e6, now);
      }
    } catch (const std::exception&) {
      // A value that would not read as its announced type: what was read stays.
    }
    if (readPositionAfter) readPosition(player);
    update();
  }

  // Shows the chosen player's state and plans the next change; inside a
  // turn of the bus, once at its end.
  void update() {
    if (pumping) {
      dirty = true;
      return;
    }
    double now = loop.uptime();
    std::vector<const PlayerModel*> models;
    std::vector<Player*> followed;
    for (auto& p : players)
      if (p->followed) {
        models.push_back(&p->model);
        followed.push_back(p.get());
      }
    Player* c = nullptr;
    if (auto index = choosePlayer(models)) c = followed[*index];
    std::string name = c ? c->model.name : "";
    if (name != chosen) {
      chosen = name;
      if (c) readPosition(*c);
    }
    NowPlayingState state = shownState(c ? &c->model : nullptr, now);
    if (!(state == NowPlayingCenter::shared().current())) NowPlayingCenter::shared().set(state);

    if (changeTask) loop.cancel(changeTask);
    changeTask = 0;
    double next = c ? nextShownChange(c->model, now) : kInfinity;
    if (std::isfinite(next))
      changeTask = loop.scheduleAtUptime(next, [this] {
        changeTask = 0;
        update();
      });
    bool playing = c && c->model.status == PlaybackStatus::Playing;
    if (!playing && resyncTask) {
      loop.cancel(resyncTask);
      resyncTask = 0;
    } else if (playing && !resyncTask) {
      resyncTask = loop.performAfter(kResyncInterval, [this] {
        resyncTask = 0;
        for (auto& p : players)
          if (p->followed && p->model.name == chosen) readPosition(*p);
        rearm();
      });
    }
    rearm();
  }
};

namespace {

// One line for every song the controls change to, and when it pauses or
// plays again, saying whether the recorder counts it: it counts what plays,
// and never a stream (a title that is an "http:" address, with no album).
void printSongLine(const NowPlayingState& state, const std::string& busName) {
  std::string when = ns::formatDate(ns::RunLoop::main().now(), "yyyy-MM-dd HH:mm:ss");
  if (!state.title) {
    std::printf("%s  nothing playing\n", when.c_str());
  } else {
    std::string player = busName;
    player.erase(0, std::min(player.size(), std::char_traits<char>::length(kPlayerPrefix)));
    const bool stream =
        !state.album && state.title->size() >= 6 && state.title->compare(0, 5, "http:") == 0;
    const char* recording = stream           ? "a stream, not recorded"
                            : !state.playing ? "paused, not recorded"
                                             : "recording";
    std::printf("%s  %s  (%s, %s; %s)  %s\n", when.c_str(), state.title->c_str(),
                state.artist.value_or("no artist").c_str(),
                state.album.value_or("no album").c_str(), player.c_str(), recording);
  }
  std::fflush(stdout);
}

}  // namespace

DesktopPlayers::DesktopPlayers(std::string address)
    : impl_(std::make_unique<Impl>()), address_(std::move(address)) {}

DesktopPlayers::~DesktopPlayers() {
  stop();
}

bool DesktopPlayers::start(std::string* error) {
  stop();
  if (printsSongs_) {
    auto last = std::make_shared<NowPlayingState>();
    songObserver_ = NowPlayingCenter::shared().addObserver([this, last](const NowPlayingState& s) {
      if (s.title == last->title && s.album == last->album && s.artist == last->artist &&
          s.playing == last->playing)
        return;
      *last = s;
      printSongLine(s, impl_->chosen);
    });
  }
  std::string why;
  if (impl_->start(address_, &why)) return true;
  stop();
  if (error) {
    // Where it was looked for, as the bus library looks.
    std::string where;
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!address_.empty())
      where = "at " + address_;
    else if (address)
      where = std::string("at ") + address;
    else if (runtime)
      where = std::string("at ") + runtime + "/bus";
    else
      where = "neither DBUS_SESSION_BUS_ADDRESS nor XDG_RUNTIME_DIR is set";
    *error = "no session bus (" + where + "; " + why +
             "): the desktop's players cannot be followed; nothing is playing";
  }
  return false;
}

void DesktopPlayers::stop() {
  impl_->stop();
  impl_->chosen.clear();
  if (songObserver_) NowPlayingCenter::shared().removeObserver(songObserver_);
  songObserver_ = 0;
  if (!(NowPlayingCenter::shared().current() == NowPlayingState{}))
    NowPlayingCenter::shared().reset();
}

NowPlayingSourceKind DesktopPlayers::kind() {
  NowPlayingSourceKind kind;
  kind.option = "--players";
  kind.synopsis = "--players [--only NAMES] [--ignore NAMES]";
  kind.help = R"(  --players       follow the desktop's music players on the D-Bus session
                  bus, on the real clock, printing a line per song change
                  that says whether it is being recorded
  --only NAMES    follow only these players (comma-separated)
  --ignore NAMES  never follow these players (comma-separated)
                  A NAME matches a player's bus name after
                  "org.mpris.MediaPlayer2." (an instance suffix such as
                  ".instance1234" included, by prefix) or its Identity,
                  case-insensitively. An ignored player is as if it did
                  not exist.
)";
  kind.notes = R"(Of several players the controls show the one that most recently started
playing among those playing now; when none plays, the one that played last.
)";
  kind.realWorld = "real players";
  kind.takesPlayerNames = true;
  kind.make = [](const NowPlayingSourceOptions& options,
                 std::string*) -> std::unique_ptr<NowPlayingSource> {
    auto players = std::make_unique<DesktopPlayers>();
    players->choose(options.only, options.ignore);
    players->printSongChanges();
    return players;
  };
  return kind;
}

std::string DesktopPlayers::chosenPlayer() const {
  return impl_->chosen;
}

std::vector<std::string> DesktopPlayers::players() const {
  std::vector<std::string> names;
  for (auto& p : impl_->players)
    if (p->followed) names.insert(names.end(), p->names.begin(), p->names.end());
  return names;
}

void DesktopPlayers::choose(std::vector<std::string> only, std::vector<std::string> ignore) {
  impl_->only = std::move(only);
  impl_->ignore = std::move(ignore);
}

}  // namespace springboard
