// The play sampler: one sampling tick a second and a faster replay check.
// Its state between ticks is the five slots and the store files as last
// parsed (StoreCache), kept as associated objects on the controller the
// timers run on.
#pragma once

#include <optional>
#include <string>

#include "NowPlayingHost.h"
#include "objc/runtime.h"

namespace corvane {

// One sampling tick: makes sure the store exists, numbers a new title, counts
// a play on the fifth playing tick of the same title, tallies one second.
// When MusicIntData.plist cannot be read or made, the "Corvane Error" alert
// shows (once per controller) and ticks do nothing for 30 s, then try again;
// while the store's folder is missing they create nothing.
void CheckMusicInfo(objc::id controller, NowPlayingHost& host);

// Clears the slots when the position is exactly at a track's start, so a
// song played again right after itself is counted again.
void checkNumber(objc::id controller, NowPlayingHost& host);

// When sampling starts on controller: prepareStoreForSampling with the
// cache its ticks use, so the store is not parsed twice at start-up.
void prepareSampling(objc::id controller);

// Sets all five slots to the empty string, first "number1" to "number4",
// then "previousMusic" (the order the start-up poll uses).
void resetSlotsForStart(objc::id controller);

// A slot's text, or nothing when it has never been set.
std::optional<std::string> slotValue(objc::id controller, const char* key);

}  // namespace corvane
