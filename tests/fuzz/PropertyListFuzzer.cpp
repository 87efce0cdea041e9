// libFuzzer target for the property-list reader and writer. The first byte
// picks what the rest is: an XML document to read, or text to store.
//   - Reading never crashes, leaks or runs past its bounds.
//   - Whatever is read is written as a document that reads back, and writing
//     that again gives the same bytes.
//   - Any text stored as a key and a value reads back as its sanitised form.
//   - The writer's own layout reads as the general reader reads it.
//   - An entry spliced into a dictionary's text (entryEdit, or one kept as
//     its text) gives the bytes writing the whole dictionary gives, and
//     undoing it the bytes before.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "CorvaneStore/StoreFormat.h"
#include "Foundation/PropertyList.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

// Sets key to value in d, splicing it into d's text where entryEdit can, and
// in d kept as its text (then undone).
void splice(ns::PlistDictionary d, const std::string& key, const std::string& value) {
  std::string text = ns::serializePropertyList(d);
  {
    auto kept = ns::PlistDictionaryText::fromDictionary(d);
    auto change = kept.set(key, value);
    ns::PlistDictionary after = d;
    after[key] = value;
    require(kept.serialized() == ns::serializePropertyList(after));
    kept.undo(key, std::move(change));
    require(kept.serialized() == text);
  }
  std::optional<ns::PlistValue> previous;
  auto it = d.find(key);
  if (it != d.end()) {
    if (!it->second.string()) return;
    previous = it->second;
    it->second = value;
  } else {
    it = d.emplace(key, value).first;
  }
  for (const auto& entry : d)
    if (!ns::isCleanText(entry.first)) return;  // the splice asks for clean keys
  auto edit = ns::entryEdit(text, d, it, previous ? previous->string() : nullptr);
  if (!edit) return;
  text.replace(edit->offset, edit->length, edit->replacement);
  require(text == ns::serializePropertyList(d));
}

void roundTrip(std::string_view xml) {
  std::optional<ns::PlistValue> value = ns::parsePropertyList(xml);
  // The writer's layout, read without expat, reads as expat reads it; so
  // do the keys found in a dictionary's text.
  require(value == ns::parsePropertyListInGeneral(xml));
  if (auto text = ns::PlistDictionaryText::fromText(std::string(xml))) {
    require(value && value->dictionary() && text->size() == value->dictionary()->size());
    for (const auto& [key, v] : *value->dictionary()) require(text->find(key) == v);
  }
  if (!value) return;
  const std::string written = ns::serializePropertyList(*value);
  std::optional<ns::PlistValue> again = ns::parsePropertyList(written);
  require(again.has_value());
  require(ns::serializePropertyList(*again) == written);
  // Numbers other tools wrote read as decimal text, or as nothing, and that
  // text reads as a counter the same way again.
  if (const ns::PlistDictionary* d = again->dictionary()) {
    for (const auto& [key, v] : *d)
      if (auto text = corvane::leafText(v)) {
        const auto reread = corvane::leafText(ns::PlistValue(*text));
        require(reread == text && corvane::counterAmount(*text) >= 0);
        (void)corvane::counterCount(*text);
      }
    // A new key beside each of the first few, and each of them changed.
    int n = 0;
    for (auto it = d->begin(); it != d->end() && n < 4; ++it, ++n) {
      splice(*d, it->first + "~", "new & <value>");
      splice(*d, it->first.substr(0, it->first.size() / 2), "half");
      splice(*d, it->first, it->first);
    }
  }
}

void storedText(std::string_view text) {
  const std::string clean = ns::sanitizeText(text);
  require(ns::sanitizeText(clean) == clean);
  ns::PlistDictionary d{{std::string(text), std::string(text)}};
  std::optional<ns::PlistValue> back = ns::parsePropertyList(ns::serializePropertyList(d));
  require(back && back->dictionary() && back->dictionary()->size() == 1);
  const auto& [key, value] = *back->dictionary()->begin();
  require(key == clean && value.string() && *value.string() == clean);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (data[0] & 1)
    storedText(rest);
  else
    roundTrip(rest);
  return 0;
}
