// Property-list values and their XML files.
//
// The data store only ever writes strings, arrays and dictionaries; any other
// property-list element (integer, real, true, false, date, data) is kept as
// an opaque "other" value so a file holding one still reads (what the
// store makes of an <integer> or <real> is in CorvaneStore/StoreFormat.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "Foundation/FileSystem.h"

namespace ns {

class PlistValue;
using PlistArray = std::vector<PlistValue>;
using PlistDictionary = std::map<std::string, PlistValue>;  // keys sorted by bytes

// An element the data store does not use, kept by name and text.
struct PlistOther {
  std::string element;  // "integer", "real", "true", "false", "date" or "data"
  std::string text;
  bool operator==(const PlistOther&) const = default;
};

class PlistValue {
 public:
  enum class Kind { String, Array, Dictionary, Other };

  PlistValue() = default;  // the empty string
  PlistValue(std::string s) : value_(std::move(s)) {}
  PlistValue(const char* s) : value_(std::string(s ? s : "")) {}
  PlistValue(PlistArray a) : value_(std::move(a)) {}
  PlistValue(PlistDictionary d) : value_(std::move(d)) {}
  PlistValue(PlistOther o) : value_(std::move(o)) {}

  Kind kind() const { return static_cast<Kind>(value_.index()); }
  bool isString() const { return kind() == Kind::String; }
  bool isArray() const { return kind() == Kind::Array; }
  bool isDictionary() const { return kind() == Kind::Dictionary; }

  // Each accessor gives null when the value holds another kind.
  const std::string* string() const { return std::get_if<std::string>(&value_); }
  const PlistArray* array() const { return std::get_if<PlistArray>(&value_); }
  PlistArray* array() { return std::get_if<PlistArray>(&value_); }
  const PlistDictionary* dictionary() const { return std::get_if<PlistDictionary>(&value_); }
  PlistDictionary* dictionary() { return std::get_if<PlistDictionary>(&value_); }
  const PlistOther* other() const { return std::get_if<PlistOther>(&value_); }

  bool operator==(const PlistValue& o) const;

 private:
  // Order matches Kind.
  std::variant<std::string, PlistArray, PlistDictionary, PlistOther> value_;
};

// The string stored under key, or null when there is none or it is not a string.
const std::string* stringForKey(const PlistDictionary& dictionary, const std::string& key);

// Largest document the reader accepts, and deepest nesting of arrays and dictionaries.
inline constexpr size_t kMaxPropertyListBytes = 64u << 20;
inline constexpr size_t kMaxPropertyListDepth = 256;

// The size limit in force: readers refuse a larger document and the writers
// (writeToFile, PropertyListCache) refuse to write one (EFBIG), so nothing
// written is ever unreadable for being large. kMaxPropertyListBytes unless
// a test set a smaller one; 0 restores it.
size_t propertyListByteLimit();
void setPropertyListByteLimit(size_t bytes);

// Parses an XML property list. Anything malformed, oversized, too deeply
// nested, or declaring entities gives nullopt; it never throws. As other
// readers do, it reads past a document type's internal subset, elements it
// does not know, text between elements, and a root value without <plist>.
std::optional<PlistValue> parsePropertyList(std::string_view xml);

// What a reader can still take from a document that does not parse: the
// root with the entries (or elements) it completed before the point where
// parsing failed, so a cut file gives everything before the cut. A document
// that parses gives its root; nothing when no root dictionary or array was
// opened.
std::optional<PlistValue> salvagePropertyList(std::string_view xml);

// Reads a file by device path (see FileSystem.h). A missing, unreadable or
// unparsable file, or a root of the other type, gives nullopt.
std::optional<PlistDictionary> dictionaryWithContentsOfFile(const std::string& devicePath);
std::optional<PlistArray> arrayWithContentsOfFile(const std::string& devicePath);

// Why a file could not be read: writers replace only what is missing or
// damaged, never a file that merely could not be read just now.
enum class PlistReadProblem {
  None,
  Missing,      // nothing there
  Unavailable,  // a transient error (isTransientError): try again later
  Damaged,      // there but not a property list of the asked-for root
  TooLarge,     // over propertyListByteLimit: whole, but no reader takes it
};
std::optional<PlistDictionary> dictionaryWithContentsOfFile(const std::string& devicePath,
                                                            PlistReadProblem* problem);
std::optional<PlistArray> arrayWithContentsOfFile(const std::string& devicePath,
                                                  PlistReadProblem* problem);

// A dictionary file kept as its text, for readers that want a few entries
// of a large one and for a writer that keeps years of entries compactly.
// Laid out as the writer lays it out (sorted keys, string values), the text
// is checked whole once, building nothing, and bisected for each key; any
// other text is parsed whole. Either way a key finds what
// dictionaryWithContentsOfFile's dictionary holds under it.
class PlistDictionaryText {
 public:
  PlistDictionaryText();  // the empty dictionary, as the writer writes it
  // Nullopt when the text is not a property list with a dictionary root.
  static std::optional<PlistDictionaryText> fromText(std::string text);
  // Bisected when the dictionary's serialisation is laid out so.
  static PlistDictionaryText fromDictionary(PlistDictionary dictionary);
  std::optional<PlistValue> find(const std::string& key) const;
  bool contains(const std::string& key) const { return find(key).has_value(); }
  size_t size() const;
  // True when keys are found in the text, not in a parsed dictionary.
  bool bisects() const { return !parsed_; }
  // Calls each(key, value) in key order until it returns false.
  template <class Each>
  void forEach(Each&& each) const {
    if (parsed_) {
      for (const auto& [key, value] : *parsed_)
        if (!each(key, value)) return;
      return;
    }
    for (size_t i = 0; i < keys_.size(); ++i)
      if (!each(keyAt(i), PlistValue(valueAt(i)))) return;
  }
  // For a text that bisects: the index'th key and value in key order, as
  // views into the text (or into *scratch, for a text with references).
  std::string_view keyView(size_t index, std::string* scratch) const;
  std::string_view valueView(size_t index, std::string* scratch) const;
  PlistDictionary dictionary() const;
  // The serialisation: the kept text itself when it bisects.
  std::string serialized() const;
  const std::string& text() const { return text_; }  // empty unless it bisects
  // For a parsed dictionary (a file laid out otherwise): applied once.
  void prepare(void (*prepare)(PlistDictionary&));

  // Sets key to the string value. A bisected text has the one entry spliced
  // in and is then what serialising the whole gives (a text another writer
  // laid out with other escapes is first made the writer's own); a key or
  // value that is not clean text turns it into a parsed dictionary first.
  // undo() with what set() gave brings back the dictionary as it was. Strong
  // exception safety: a throw leaves it unchanged.
  struct Change {
    bool added = false;
    std::optional<PlistValue> previous;  // what the key held
    std::optional<std::string> text;     // the whole text, when it was replaced
    bool canonical = false;              // and whether it was the writer's
  };
  Change set(const std::string& key, std::string value);
  void undo(const std::string& key, Change change);
  // Once a parsed dictionary was written as serialized: that text is kept
  // instead when every key is clean and it is laid out so.
  void adopt(std::string serialized);

 private:
  size_t lowerBound(const std::string& key, bool* found) const;
  std::string keyAt(size_t index) const;
  std::string valueAt(size_t index) const;
  size_t valueOffset(size_t index) const;
  void splice(size_t index, size_t offset, size_t length, std::string_view replacement,
              int keyChange);
  bool reindex();
  void canonicalize();

  std::string text_;
  std::vector<uint32_t> keys_;  // where each key's text starts, in key order
  std::optional<PlistDictionary> parsed_;
  bool canonical_ = true;  // text_ is byte for byte what the writer makes of it
};
std::optional<PlistDictionaryText> dictionaryTextWithContentsOfFile(
    const std::string& devicePath, PlistReadProblem* problem = nullptr);

// For tests and the fuzzer: the general reader alone, which every text not
// laid out as the writer lays it out goes to.
std::optional<PlistValue> parsePropertyListInGeneral(std::string_view xml);

// Replaces everything XML 1.0 cannot carry with U+FFFD: C0 controls other
// than TAB, LF and CR, U+FFFE, U+FFFF and invalid UTF-8 (one U+FFFD for each
// maximal invalid subpart). Idempotent.
std::string sanitizeText(std::string_view text);
// True when sanitizeText leaves text as it is, as it does every text read
// from a file.
bool isCleanText(std::string_view text);

// The XML text of a value, byte for byte as Python's plistlib writes it with
// sorted keys, except that CR is kept as "&#13;" instead of being turned into
// LF. Strings and keys are sanitised first so the output always parses.
std::string serializePropertyList(const PlistValue& value);
std::string serializePropertyList(const PlistDictionary& value);
std::string serializePropertyList(const PlistArray& value);

// One change to a text: length bytes at offset become replacement.
struct TextEdit {
  size_t offset = 0;
  size_t length = 0;
  std::string replacement;
};

// The edit that brings text, the serialisation of a dictionary whose keys
// are all clean, up to date after one string entry of it was set: entry is
// that entry in the dictionary as it is now, previous the string it held
// before (null when it is new). The place is found by bisecting the text on
// its sorted keys, so one entry does not cost writing a large dictionary out
// again. Nothing when the text is not laid out so: serialise the whole then.
std::optional<TextEdit> entryEdit(std::string_view text, const PlistDictionary& dictionary,
                                  PlistDictionary::const_iterator entry,
                                  const std::string* previous);

// The bytes one string entry adds to the text of a root dictionary that
// already has entries.
size_t serializedEntrySize(std::string_view key, const std::string& value);

// Serialises and replaces the file atomically; true on success.
bool writeToFile(const PlistValue& value, const std::string& devicePath);
bool writeToFile(const PlistDictionary& value, const std::string& devicePath);
bool writeToFile(const PlistArray& value, const std::string& devicePath);
// The same, giving the written file's identity as writeFileAtomically does.
bool writeToFile(const PlistDictionary& value, const std::string& devicePath,
                 std::optional<FileIdentity>* written);

}  // namespace ns
