// The data store: the steps of a sampling tick that create, number and
// count in its files (their paths are in CorvaneStore/StoreLayout.h). Every
// call re-reads the files it needs; nothing is cached between calls.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "CorvaneStore/StoreLayout.h"
#include "Foundation/PropertyList.h"

namespace corvane {

// "%d" of a number: how song numbers and counters are written.
std::string numberText(int32_t n);
// A counter's text plus one; text that is not a number counts as 0, and a
// counter already at the 32-bit maximum stays there.
std::string incrementedCounter(const std::string* text);

// Creates each history file that cannot be read. A damaged file is rebuilt
// from what the others still hold where that is possible: either inverse map
// from the other, the next song number from the highest number given out,
// the day list from the day folders.
void ensureHistoryFiles();

// Makes sure the day's folder and three files exist and the day is listed in
// DateArray.plist, creating only what is missing or unreadable.
void ensureDayFiles(const std::string& dayKey);

// Gives title the next song number, writing SaveData.plist, IntMusicData.plist
// and the caller's copy of MusicIntData.plist, in that order. Returns false
// (and writes nothing) when the history files cannot be read or no number is
// left.
bool numberTitle(const std::string& title, ns::PlistDictionary& musicInt);

// Adds one play of song number to the day's MusicNumber.plist.
void countPlay(const std::string& dayKey, const std::string& number);

// Adds one second of song number to the day's MusicTime.plist, first writing
// its MusicAlbum.plist entry if the day has none for it yet.
void tallySecond(const std::string& dayKey, const std::string& number,
                 const std::string& albumEntry);

// Deletes temporary files an interrupted write left in the store's folders.
int removeStoreTemporaryFiles();

}  // namespace corvane
