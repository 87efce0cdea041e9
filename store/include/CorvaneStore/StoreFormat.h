// The data store's format: what its keys and values are, for its one writer
// (the recorder) and every reader (the app, the store tool). Paths and
// file names are in StoreLayout.h.
//
// Every leaf the recorder writes is a <string>: day keys, song numbers and
// counters as "%d" text, titles and artist-album texts. A store edited with
// another tool may hold other leaves; each is read by one rule here.
//
// A leaf's text (leafText): a <string> as written; an <integer> (decimal or
// 0x hexadecimal, blanks and a sign allowed) or a <real> as the decimal text
// of its value, shortest first (<integer>0x1C</integer> gives "28",
// <real>30.0</real> "30", <real>12.9</real> "12.9"). Any other leaf, and an
// <integer> or <real> whose text is not wholly a number, has no text.
//
// A counter (seconds, plays) is that text read two ways:
// - its count (counterCount): leading blanks, a sign and the leading decimal
//   digits, saturating at 32 bits; text that does not start with a number,
//   "" and a leaf without text count 0 ("  7" 7, "+5" 5, "-3" -3, "12.9" 12,
//   "abc" 0). The recorder counts on from it (incrementedCounter: count + 1
//   written "%d", a counter at INT32_MAX stays) and the app orders its
//   ranking by it.
// - its amount (counterAmount): the decimal number with its fraction
//   ("12.9" 12.9); negative, infinite or not a number gives 0, so no share
//   can turn negative or "nan". The app's totals, shares and shown values
//   and the store tool's seconds and plays are amounts.
// The two differ only for a fraction (12.9: amount 12.9, count 12, written
// next as "13") and a negative (-3: amount 0, count -3, written next "-2").
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Foundation/PropertyList.h"

namespace corvane {

// A day key: "yyyy-MM-dd", ten characters, digits and two hyphens. It names
// a day's folder; text from outside is checked with this first.
bool isDayKey(std::string_view text);

// SaveData.plist's one key: the song number the next new title gets.
constexpr const char* kNextSongNumberKey = "MusicNumber";

// "%d" of a number: how song numbers and counters are written.
std::string numberText(int32_t n);

// A song number key as the recorder writes it: "%d" of a non-negative
// number; anything else ("007", "-1", " 3") is no song number.
std::optional<int32_t> songNumber(std::string_view text);

// The text a leaf carries (above).
std::optional<std::string> leafText(const ns::PlistValue& value);

// Turns every <integer> and <real> leaf of a dictionary into its text, as
// the recorder keeps and writes back a file another tool edited.
void numbersAsText(ns::PlistDictionary& dictionary);

int32_t counterCount(std::string_view text);
double counterAmount(std::string_view text);
// The amount of a leaf; 0 for a leaf without text.
double leafAmount(const ns::PlistValue& value);

// A counter's text plus one; no text yet (null) gives "1".
std::string incrementedCounter(const std::string* text);

// A song's artist-album entry of a day: "%@-%@" of the artist and the
// album, an absent one written "(null)".
std::string albumEntry(const std::string* artist, const std::string* album);

}  // namespace corvane
