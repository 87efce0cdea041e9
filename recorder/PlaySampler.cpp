#include "PlaySampler.h"

#include <initializer_list>

#include "DataStore.h"
#include "Foundation/FileSystem.h"
#include "Foundation/NSArray.h"
#include "Foundation/NSDate.h"
#include "Foundation/NSString.h"
#include "Foundation/PropertyList.h"
#include "Foundation/RunLoop.h"
#include "Foundation/TextValue.h"
#include "RecorderKeys.h"

namespace corvane {

namespace {

// The controller's StoreCache, kept as an associated object so it lives and
// dies with the controller the timers run on.
class StoreCacheObject : public objc::Object {
  OBJC_CLASS(StoreCacheObject)
 public:
  StoreCache cache;
};
OBJC_CLASS_IMPL(StoreCacheObject, objc::Object, nullptr)

constexpr char kStoreCacheKey[] = "corvaneStoreCache";

StoreCache& storeCache(objc::id controller) {
  objc::id kept = objc::objc_getAssociatedObject(controller, kStoreCacheKey);
  if (!kept || !kept->isKindOfClass(StoreCacheObject::classObject())) {
    auto made = objc::make<StoreCacheObject>();
    objc::objc_setAssociatedObject(controller, kStoreCacheKey, made, objc::OBJC_ASSOCIATION_RETAIN);
    kept = objc::objc_getAssociatedObject(controller, kStoreCacheKey);
  }
  return static_cast<StoreCacheObject*>(kept)->cache;
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
  return ns::sanitizeText(*text);
}

bool isStream(const std::string& title, const std::optional<std::string>& album) {
  return !album && ns::utf16Length(title) >= 6 && ns::utf16Prefix(title, 5) == "http:";
}

// How long sampling rests after the store could not be written.
constexpr double kRetryInterval = 30.0;

// The store cannot be written (its folder missing, the disk full, a write
// failing): the user is told once, and the tick rests, touching nothing,
// until it tries again. A fault that goes away thus ends by itself.
void suspendSampling(objc::id controller, NowPlayingHost& host) {
  if (!objc::objc_getAssociatedObject(controller, kAlertShownKey)) {
    host.showAlert("Corvane Error", "Reinstail in Cydia", "Okay");
    objc::objc_setAssociatedObject(controller, kAlertShownKey, ns::NSNumber::numberWithBool(true),
                                   objc::OBJC_ASSOCIATION_RETAIN);
  }
  objc::objc_setAssociatedObject(
      controller, kRetryAtKey,
      ns::NSNumber::numberWithDouble(ns::RunLoop::main().now() + kRetryInterval),
      objc::OBJC_ASSOCIATION_RETAIN);
}

// True while resting; at the time of the next attempt, true still while the
// store's folder is missing, so nothing is created where there is no store.
bool resting(objc::id controller) {
  objc::id value = objc::objc_getAssociatedObject(controller, kRetryAtKey);
  if (!value || !value->isKindOfClass(ns::NSNumber::classObject())) return false;
  const double now = ns::RunLoop::main().now();
  if (now < static_cast<ns::NSNumber*>(value)->doubleValue()) return true;
  if (!ns::isDirectoryAtPath(kStoreRoot)) {
    objc::objc_setAssociatedObject(controller, kRetryAtKey,
                                   ns::NSNumber::numberWithDouble(now + kRetryInterval),
                                   objc::OBJC_ASSOCIATION_RETAIN);
    return true;
  }
  return false;
}

}  // namespace

std::optional<std::string> slotValue(objc::id controller, const char* key) {
  const std::string* text = ns::stringValue(objc::objc_getAssociatedObject(controller, key));
  return text ? std::optional<std::string>(*text) : std::nullopt;
}

void prepareSampling(objc::id controller) {
  prepareStoreForSampling(&storeCache(controller));
}

void resetSlotsForStart(objc::id controller) {
  emptySlots(controller, {kNumber1Key, kNumber2Key, kNumber3Key, kNumber4Key, kPreviousMusicKey});
}

void CheckMusicInfo(objc::id controller, NowPlayingHost& host) {
  TrackInformation track = host.trackInformation();
  const std::optional<std::string> title = sanitized(track.title);
  const std::optional<std::string> album = sanitized(track.album);
  const std::optional<std::string> artist = sanitized(track.artist);

  if (resting(controller)) return;
  StoreCache& cache = storeCache(controller);
  ensureHistoryFiles(cache);
  std::shared_ptr<const ns::PlistDictionary> musicInt = cache.dictionary(kMusicIntDataPath);
  if (!musicInt) {
    suspendSampling(controller, host);
    return;
  }
  objc::objc_setAssociatedObject(controller, kRetryAtKey, nullptr, objc::OBJC_ASSOCIATION_RETAIN);

  const float position = host.position();
  const bool playing = host.isPlaying();
  const std::string day = ns::currentDayKey();
  ensureDayFiles(day, cache);

  if (!title || position == 0.0f) {
    clearSlots(controller);
    return;
  }
  const bool stream = isStream(*title, album);
  // Only a new title costs a copy of the map.
  if (!stream && !musicInt->count(*title)) numberTitle(*title, musicInt, cache);
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
    auto current = cache.dictionary(kMusicIntDataPath);
    const std::string* number = current ? ns::stringForKey(*current, *title) : nullptr;
    if (!number) number = ns::stringForKey(*musicInt, *title);
    if (number) countPlay(day, *number, cache);
    setSlot(controller, kPreviousMusicKey, *title);
  }

  // A title that could not be numbered (store unwritable, numbers exhausted)
  // has no key to tally under.
  const std::string* number = ns::stringForKey(*musicInt, *title);
  if (!number) return;
  std::string albumEntry = ns::describeOrNull(artist ? &*artist : nullptr) + "-" +
                           ns::describeOrNull(album ? &*album : nullptr);
  tallySecond(day, *number, albumEntry, cache);
}

void checkNumber(objc::id controller, NowPlayingHost& host) {
  if (host.position() != 0.0f) return;
  clearSlots(controller);
}

}  // namespace corvane
