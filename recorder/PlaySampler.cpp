#include "PlaySampler.h"

#include <cerrno>
#include <cstring>
#include <initializer_list>

#include "DataStore.h"
#include "Foundation/FileSystem.h"
#include "Foundation/Log.h"
#include "Foundation/NSArray.h"
#include "Foundation/NSDate.h"
#include "Foundation/NSString.h"
#include "Foundation/PropertyList.h"
#include "Foundation/RunLoop.h"
#include "Foundation/TextValue.h"
#include "RecorderKeys.h"

namespace corvane {

namespace {

// How long sampling rests after the store could not be read.
constexpr double kRetryInterval = 30.0;
// Texts are cut as the shell's desktop players cut theirs, whatever the
// source: one title is one key however it came, and no map grows by a
// title of any length.
constexpr size_t kMaxTextUnits = 256;

// What the sampler keeps between ticks beside the slots: the store's state
// and whether the user was told of a fault. Kept as an associated object so
// it lives and dies with the controller the timers run on.
class SamplerState : public objc::Object {
  OBJC_CLASS(SamplerState)
 public:
  RecorderStore& store() { return store_; }

  // The store cannot be read or written (its folder missing, the disk
  // full, a write failing): the user is told once while it lasts.
  void storeFailed(NowPlayingHost& host, int error) {
    if (failing_) return;
    failing_ = true;
    ns::NSLog("Corvane: the store cannot be written (%s); recording goes on once it can",
              std::strerror(error));
    alert(host);
  }
  // A tick that wrote and had no write fail ends the fault.
  void storeWritten() {
    if (!failing_) return;
    failing_ = false;
    ns::NSLog("Corvane: the store can be written again");
  }
  // No new title can be numbered for good (the maps at the size limit, the
  // numbers used up): told once; the known titles go on being recorded.
  void numberingRefused(NowPlayingHost& host, SongNumbering::Result result) {
    if (limitTold_) return;
    limitTold_ = true;
    ns::NSLog(result == SongNumbering::Result::MapsFull
                  ? "Corvane: the title maps are at their size limit; new titles are not recorded"
                  : "Corvane: no song number is left; new titles are not recorded");
    alert(host);
  }

  // Rests, touching nothing, until it tries again: a fault that goes away
  // thus ends by itself. On the loop's uptime: a wall clock set back must
  // not stretch the rest.
  void rest() { retryAt_ = ns::RunLoop::main().uptime() + kRetryInterval; }
  // True while resting; at the time of the next attempt, true still while
  // the store's folder is missing, so nothing is created where there is no
  // store.
  bool resting() {
    if (!retryAt_) return false;
    const double now = ns::RunLoop::main().uptime();
    if (now < *retryAt_) return true;
    if (!ns::isDirectoryAtPath(kStoreRoot)) {
      retryAt_ = now + kRetryInterval;
      return true;
    }
    retryAt_.reset();
    return false;
  }

 private:
  void alert(NowPlayingHost& host) {
    host.showAlert("Corvane Error", "Reinstail in Cydia", "Okay");
  }

  RecorderStore store_;
  bool failing_ = false;
  bool limitTold_ = false;
  std::optional<double> retryAt_;
};
OBJC_CLASS_IMPL(SamplerState, objc::Object, nullptr)

constexpr char kSamplerStateKey[] = "corvaneSamplerState";

SamplerState& samplerState(objc::id controller) {
  objc::id kept = objc::objc_getAssociatedObject(controller, kSamplerStateKey);
  if (!kept || !kept->isKindOfClass(SamplerState::classObject())) {
    auto made = objc::make<SamplerState>();
    objc::objc_setAssociatedObject(controller, kSamplerStateKey, made,
                                   objc::OBJC_ASSOCIATION_RETAIN);
    kept = objc::objc_getAssociatedObject(controller, kSamplerStateKey);
  }
  return *static_cast<SamplerState*>(kept);
}

void setSlot(objc::id controller, const char* key, const std::string& text) {
  objc::objc_setAssociatedObject(controller, key, ns::NSString::make(text),
                                 objc::OBJC_ASSOCIATION_RETAIN);
}

// A missing slot never equals a title, as a message to nil answers NO.
bool slotEquals(objc::id controller, const char* key, const std::string& title) {
  return slotValue(controller, key) == title;
}

// Empties the five slots in the order given. The sampler clears the last
// title first; the start-up clears the four counters first. Nothing reads
// the slots in between, but both orders are kept as they are.
void emptySlots(objc::id controller, std::initializer_list<const char*> order) {
  for (const char* key : order) setSlot(controller, key, "");
}

void clearSlots(objc::id controller) {
  emptySlots(controller, {kPreviousMusicKey, kNumber1Key, kNumber2Key, kNumber3Key, kNumber4Key});
}

std::optional<std::string> sanitized(const std::optional<std::string>& text) {
  // Text enters the store here: cleaning it now keeps the key of a title the
  // same on every tick and keeps every file readable.
  if (!text) return std::nullopt;
  return ns::utf16Prefix(ns::sanitizeText(*text), kMaxTextUnits);
}

bool isStream(const std::string& title, const std::optional<std::string>& album) {
  return !album && ns::utf16Length(title) >= 6 && ns::utf16Prefix(title, 5) == "http:";
}

// At the end of a tick: a failed write tells the user; a tick that wrote
// and had no write fail ends the fault (one that wrote nothing says nothing).
struct TickEnd {
  SamplerState& state;
  NowPlayingHost& host;
  ~TickEnd() {
    int error = 0, written = 0;
    if (state.store().cache().takeFailedWrites(&error, &written))
      state.storeFailed(host, error);
    else if (written)
      state.storeWritten();
  }
};

}  // namespace

std::optional<std::string> slotValue(objc::id controller, const char* key) {
  const std::string* text = ns::stringValue(objc::objc_getAssociatedObject(controller, key));
  return text ? std::optional<std::string>(*text) : std::nullopt;
}

void resetSlotsForStart(objc::id controller) {
  emptySlots(controller, {kNumber1Key, kNumber2Key, kNumber3Key, kNumber4Key, kPreviousMusicKey});
}

void prepareSampling(objc::id controller) {
  samplerState(controller).store().prepareForSampling();
}

void CheckMusicInfo(objc::id controller, NowPlayingHost& host) {
  TrackInformation track = host.trackInformation();
  const std::optional<std::string> title = sanitized(track.title);
  const std::optional<std::string> album = sanitized(track.album);
  const std::optional<std::string> artist = sanitized(track.artist);

  SamplerState& state = samplerState(controller);
  if (state.resting()) return;
  RecorderStore& store = state.store();
  store.ensureHistoryFiles();
  SongNumbering& numbering = store.numbering();
  if (!numbering.readTitles()) {
    int error = 0;
    if (!store.cache().takeFailedWrites(&error)) error = ENOENT;
    state.storeFailed(host, error);
    state.rest();
    return;
  }
  TickEnd end{state, host};

  const float position = host.position();
  const bool playing = host.isPlaying();
  const std::string day = ns::currentDayKey();
  store.ensureDayFiles(day);

  if (!title || position == 0.0f) {
    clearSlots(controller);
    return;
  }
  const bool stream = isStream(*title, album);
  if (!stream && !numbering.lookUp(*title)) {
    const SongNumbering::Result result = numbering.assign(*title);
    if (result == SongNumbering::Result::MapsFull || result == SongNumbering::Result::NoNumberLeft)
      state.numberingRefused(host, result);
  }
  if (stream || !playing) return;

  if (slotEquals(controller, kPreviousMusicKey, *title)) {
    // Already counted: only the second is tallied.
  } else if (!slotEquals(controller, kNumber1Key, *title)) {
    setSlot(controller, kNumber1Key, *title);
  } else if (!slotEquals(controller, kNumber2Key, *title)) {
    setSlot(controller, kNumber2Key, *title);
  } else if (!slotEquals(controller, kNumber3Key, *title)) {
    setSlot(controller, kNumber3Key, *title);
  } else if (!slotEquals(controller, kNumber4Key, *title)) {
    setSlot(controller, kNumber4Key, *title);
  } else {
    // The number as the file now holds it; this tick's copy stands in when
    // a failed write kept the title out of the file (the next tick repairs it).
    auto current = store.cache().map(kMusicIntDataPath);
    std::optional<ns::PlistValue> held = current ? current->find(*title) : std::nullopt;
    std::optional<std::string> number;
    if (held && held->string()) number = *held->string();
    if (!number) number = numbering.lookUp(*title);
    if (number) store.countPlay(day, *number);
    setSlot(controller, kPreviousMusicKey, *title);
  }

  // A title that could not be numbered (store unwritable, numbers exhausted)
  // has no key to tally under.
  const std::optional<std::string> number = numbering.lookUp(*title);
  if (!number) return;
  store.tallySecond(day, *number,
                    albumEntry(artist ? &*artist : nullptr, album ? &*album : nullptr));
}

void checkNumber(objc::id controller, NowPlayingHost& host) {
  if (host.position() != 0.0f) return;
  clearSlots(controller);
}

}  // namespace corvane
