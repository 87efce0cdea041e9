// The play sampler: one sampling tick a second and a faster replay check.
// Its state between ticks is the five slots and the store's state
// (RecorderStore), kept as associated objects on the controller the timers
// run on.
#pragma once

#include <optional>
#include <string>

#include "NowPlayingHost.h"
#include "objc/runtime.h"

namespace corvane {

// When sampling starts: cleans up what a crash interrupted in the store
// (RecorderStore::prepareForSampling) with the controller's state.
void prepareSampling(objc::id controller);

// One sampling tick: makes sure the store exists, numbers a new title, counts
// a play on the fifth playing tick of the same title, tallies one second.
// While the store cannot be written (a write fails, MusicIntData.plist cannot
// be read or made) the "Corvane Error" alert shows once; a tick whose writes
// all succeed ends that. When MusicIntData.plist cannot be read, ticks do
// nothing for 30 s, then try again; while the store's folder is missing they
// create nothing. When no new title can be numbered any more (the maps at
// their size limit, no number left) the alert shows once and the known
// titles go on being recorded.
void CheckMusicInfo(objc::id controller, NowPlayingHost& host);

// Clears the slots when the position is exactly at a track's start, so a
// song played again right after itself is counted again.
void checkNumber(objc::id controller, NowPlayingHost& host);

// Sets all five slots to the empty string, first "number1" to "number4",
// then "previousMusic" (the order the start-up poll uses).
void resetSlotsForStart(objc::id controller);

// A slot's text, or nothing when it has never been set.
std::optional<std::string> slotValue(objc::id controller, const char* key);

}  // namespace corvane
