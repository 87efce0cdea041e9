#include "Foundation/PropertyList.h"

#include <expat.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

#include "Foundation/FileSystem.h"
#include "Utf8.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ns {

namespace {
constexpr std::string_view kHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
    "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
    "<plist version=\"1.0\">\n";
}  // namespace

bool PlistValue::operator==(const PlistValue& o) const {
  return value_ == o.value_;
}

const std::string* stringForKey(const PlistDictionary& dictionary, const std::string& key) {
  auto it = dictionary.find(key);
  return it == dictionary.end() ? nullptr : it->second.string();
}

// ---------------------------------------------------------------------------
// Reading

namespace {

bool isLeafElement(std::string_view name) {
  return name == "integer" || name == "real" || name == "true" || name == "false" ||
         name == "date" || name == "data";
}

class Reader {
 public:
  Reader() : parser_(XML_ParserCreate(nullptr), &XML_ParserFree) {}

  std::optional<PlistValue> parse(std::string_view xml) {
    XML_Parser p = parser_.get();
    if (!p || xml.size() > propertyListByteLimit() || xml.size() > size_t(INT_MAX)) return {};
    XML_SetUserData(p, this);
    XML_SetElementHandler(p, &Reader::onStart, &Reader::onEnd);
    XML_SetCharacterDataHandler(p, &Reader::onText);
    // No entity of any kind is ever needed in a property list, and declaring
    // one is the first step of every expansion attack: refuse outright. A
    // document type's internal subset without entities (element or
    // attribute declarations) is harmless and read past, as other readers do.
    XML_SetEntityDeclHandler(p, &Reader::onEntityDecl);
    XML_SetSkippedEntityHandler(p, &Reader::onSkippedEntity);
    XML_SetParamEntityParsing(p, XML_PARAM_ENTITY_PARSING_NEVER);

    const XML_Status status = XML_Parse(p, xml.data(), static_cast<int>(xml.size()), XML_TRUE);
    if (status != XML_STATUS_OK || failed_ || !root_) return {};
    return std::move(root_);
  }

  // After a failed parse: the root as far as it was completed.
  std::optional<PlistValue> partialRoot() {
    if (root_) return std::move(root_);
    if (stack_.size() >= 2 && stack_[0].type == Type::Plist) {
      Frame& top = stack_[1];
      if (top.type == Type::Dict) return PlistValue(std::move(top.dict));
      if (top.type == Type::Array) return PlistValue(std::move(top.array));
    }
    if (!stack_.empty() && stack_[0].plistValue) return std::move(stack_[0].plistValue);
    return std::nullopt;
  }

 private:
  enum class Type { None, Plist, Array, Dict, Key, String, Leaf, Unknown };
  // Containers and unknown elements; the text-only elements (key, string,
  // leaves) cannot nest and are kept beside the stack, so the bulk of a
  // large file costs no frame.
  struct Frame {
    Type type;
    PlistArray array;
    PlistDictionary dict;
    std::optional<std::string> pendingKey;  // a dict's key still waiting for its value
    std::optional<PlistValue> plistValue;   // the value inside <plist>
    bool implicit = false;                  // a root value without <plist> around it
  };

  static Reader& self(void* data) { return *static_cast<Reader*>(data); }

  void fail() {
    if (!failed_) {
      failed_ = true;
      XML_StopParser(parser_.get(), XML_FALSE);
    }
  }

  // Handlers run inside C code: no exception may leave them.
  template <class F>
  void guarded(F&& f) {
    if (failed_) return;
    try {
      f();
    } catch (...) {
      fail();
    }
  }

  static void XMLCALL onStart(void* data, const XML_Char* name, const XML_Char**) {
    Reader& r = self(data);
    r.guarded([&] { r.start(name); });
  }
  static void XMLCALL onEnd(void* data, const XML_Char*) {
    Reader& r = self(data);
    r.guarded([&] { r.end(); });
  }
  static void XMLCALL onText(void* data, const XML_Char* s, int len) {
    Reader& r = self(data);
    if (r.textType_ != Type::None && !r.failed_)
      r.guarded([&] { r.text_.append(s, static_cast<size_t>(len)); });
    // Text anywhere else (between elements, inside unknown ones) means
    // nothing and is skipped, as other readers skip it.
  }
  static void XMLCALL onEntityDecl(void* data, const XML_Char*, int, const XML_Char*, int,
                                   const XML_Char*, const XML_Char*, const XML_Char*,
                                   const XML_Char*) {
    self(data).fail();
  }
  static void XMLCALL onSkippedEntity(void* data, const XML_Char*, int) { self(data).fail(); }

  // The frame a value would go to: unknown elements are looked through.
  Frame& container() {
    for (auto it = stack_.rbegin(); it != stack_.rend(); ++it)
      if (it->type != Type::Unknown) return *it;
    return stack_.front();  // the root frame is never Unknown
  }

  void push(Type type, bool implicit = false) {
    if (stack_.empty()) stack_.reserve(16);
    stack_.push_back(Frame{type, {}, {}, {}, {}, implicit});
  }

  void start(std::string_view name) {
    // Unknown elements nest too: every element counts towards a second,
    // looser bound.
    if (++depth_ > 2 * kMaxPropertyListDepth) return fail();
    if (textType_ != Type::None) return fail();  // text-only elements
    if (stack_.empty()) {
      if (name == "plist") return push(Type::Plist);
      // A bare root value, as other readers accept it.
      push(Type::Plist, true);
    }
    Type type;
    if (name == "key")
      type = Type::Key;
    else if (name == "string")
      type = Type::String;
    else if (name == "array")
      type = Type::Array;
    else if (name == "dict")
      type = Type::Dict;
    else if (isLeafElement(name))
      type = Type::Leaf;
    else
      type = Type::Unknown;

    if (type != Type::Unknown) {
      Frame& into = container();
      switch (into.type) {
        case Type::Plist:
        case Type::Array:
          if (type == Type::Key) return fail();
          break;
        case Type::Dict:
          // Keys and values alternate, starting with a key.
          if ((type == Type::Key) == into.pendingKey.has_value()) return fail();
          break;
        default:
          return fail();
      }
    }
    if (type == Type::Key || type == Type::String || type == Type::Leaf) {
      textType_ = type;
      if (type == Type::Leaf) leafName_ = name;
      text_.clear();
      return;
    }
    if ((type == Type::Array || type == Type::Dict) && ++containerDepth_ > kMaxPropertyListDepth)
      return fail();
    push(type);
  }

  void end() {
    --depth_;
    PlistValue value;
    if (textType_ != Type::None) {
      const Type type = textType_;
      textType_ = Type::None;
      switch (type) {
        case Type::Key:
          // The start handler only opens a key when the dict waits for one.
          container().pendingKey = std::move(text_);
          text_ = std::string();
          return;
        case Type::String:
          value = PlistValue(std::move(text_));
          break;
        default:
          value = PlistValue(PlistOther{leafName_, std::move(text_)});
          break;
      }
      text_ = std::string();
    } else {
      if (stack_.empty()) return fail();
      Frame f = std::move(stack_.back());
      stack_.pop_back();
      switch (f.type) {
        case Type::Plist:
          if (!f.plistValue) return fail();
          root_ = std::move(f.plistValue);
          return;
        case Type::Array:
          --containerDepth_;
          value = PlistValue(std::move(f.array));
          break;
        case Type::Dict:
          --containerDepth_;
          if (f.pendingKey) return fail();  // a key without a value
          value = PlistValue(std::move(f.dict));
          break;
        default:  // unknown
          return;
      }
    }
    Frame& parent = container();  // every value element has a parent
    switch (parent.type) {
      case Type::Plist:
        // A second value replaces the first, as other readers have it.
        parent.plistValue = std::move(value);
        if (parent.implicit) {
          root_ = std::move(parent.plistValue);
          stack_.pop_back();
        }
        break;
      case Type::Array:
        parent.array.push_back(std::move(value));
        break;
      case Type::Dict: {
        PlistDictionary& dict = parent.dict;
        std::string& key = *parent.pendingKey;
        // Files come with their keys sorted: each one goes at the end.
        if (dict.empty() || dict.rbegin()->first < key)
          dict.emplace_hint(dict.end(), std::move(key), std::move(value));
        else  // a repeated key replaces the earlier value
          dict.insert_or_assign(std::move(key), std::move(value));
        parent.pendingKey.reset();
        break;
      }
      default:
        return fail();
    }
  }

  std::unique_ptr<XML_ParserStruct, decltype(&XML_ParserFree)> parser_;
  std::vector<Frame> stack_;
  Type textType_ = Type::None;  // the text-only element open, if any
  std::string leafName_;
  std::string text_;
  size_t depth_ = 0;
  size_t containerDepth_ = 0;
  bool failed_ = false;
  std::optional<PlistValue> root_;
};

}  // namespace

// ---------------------------------------------------------------------------
// Reading the writer's own layout

namespace {

// Bytes element text may hold as they are. The others are looked at one by
// one: TAB and LF (fine), '<' (the end), '&' (a reference), ']' (fine unless
// it starts "]]>"), bytes from 0x80 (UTF-8 to check); anything else sends the
// whole text to expat.
constexpr auto kPlainText = [] {
  std::array<bool, 256> plain{};
  for (int c = 0x20; c < 0x80; ++c) plain[c] = c != '<' && c != '&' && c != ']';
  return plain;
}();

// The length of the reference at p that the writers of this layout use (the
// five predefined entities and the writer's "&#13;"); 0 for any other.
size_t referenceLength(const char* p, const char* end) {
  std::string_view r;
  switch (end - p > 1 ? p[1] : 0) {
    case 'a':
      r = end - p > 2 && p[2] == 'm' ? "&amp;" : "&apos;";
      break;
    case 'l':
      r = "&lt;";
      break;
    case 'g':
      r = "&gt;";
      break;
    case 'q':
      r = "&quot;";
      break;
    case '#':
      r = "&#13;";
      break;
    default:
      return 0;
  }
  if (static_cast<size_t>(end - p) < r.size()) return 0;
  for (size_t i = 2; i < r.size(); ++i)
    if (p[i] != r[i]) return 0;
  return r.size();
}

char referencedChar(std::string_view reference) {
  switch (reference[1]) {
    case 'a':
      return reference[2] == 'm' ? '&' : '\'';
    case 'l':
      return '<';
    case 'g':
      return '>';
    case 'q':
      return '"';
    default:
      return '\r';
  }
}

// Moves p to the '<' that ends an element's text. False when the text holds
// something this reader leaves to expat (which reads it the same or refuses
// the file); *referenced tells that the text has references to resolve.
[[gnu::always_inline]] inline bool scanText(const char*& p, const char* end, bool* referenced) {
  for (;;) {
#if defined(__SSE2__)
    // Sixteen bytes at a time: the bulk of any title is plain ASCII. Signed
    // bytes from 0x80 are negative, so one comparison flags them with the
    // controls.
    while (end - p >= 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      const __m128i flagged = _mm_or_si128(_mm_or_si128(_mm_cmplt_epi8(v, _mm_set1_epi8(0x20)),
                                                        _mm_cmpeq_epi8(v, _mm_set1_epi8('<'))),
                                           _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('&')),
                                                        _mm_cmpeq_epi8(v, _mm_set1_epi8(']'))));
      const int mask = _mm_movemask_epi8(flagged);
      if (mask == 0) {
        p += 16;
        continue;
      }
      p += __builtin_ctz(static_cast<unsigned>(mask));
      goto flagged;  // p is at a byte to look at
    }
#endif
    while (p < end && kPlainText[static_cast<unsigned char>(*p)]) ++p;
    if (p == end) return false;
#if defined(__SSE2__)
  flagged:
#endif
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c == '<') return true;
    if (c == '\t' || c == '\n') {
      ++p;
    } else if (c == ']') {
      if (end - p >= 3 && p[1] == ']' && p[2] == '>') return false;
      ++p;
    } else if (c == '&') {
      const size_t n = referenceLength(p, end);
      if (n == 0) return false;
      *referenced = true;
      p += n;
    } else if (c >= 0xC2 && c <= 0xDF && end - p >= 2 && (p[1] & 0xC0) == 0x80) {
      p += 2;  // two bytes, U+0080 to U+07FF: always an XML character
    } else if (((c >= 0xE1 && c <= 0xEC) || c == 0xEE) && end - p >= 3 && (p[1] & 0xC0) == 0x80 &&
               (p[2] & 0xC0) == 0x80) {
      p += 3;  // three bytes, no overlong form, surrogate or U+FFFE/U+FFFF
    } else if (c >= 0x80) {
      const utf8::Step step = utf8::decode(std::string_view(p, static_cast<size_t>(end - p)), 0);
      if (!step.valid || !utf8::isXmlChar(step.codePoint)) return false;
      p += step.length;
    } else {
      return false;  // a control character or CR (which XML turns into LF)
    }
  }
}

// An element's text as it stands in the file.
struct RawText {
  std::string_view raw;
  bool referenced = false;

  std::string value() const {
    if (!referenced) return std::string(raw);
    std::string out;
    out.reserve(raw.size());
    size_t start = 0;
    for (size_t at; (at = raw.find('&', start)) != std::string_view::npos;) {
      out.append(raw.substr(start, at - start));
      start = raw.find(';', at) + 1;  // scanText saw a whole reference
      out += referencedChar(raw.substr(at, start - at));
    }
    out.append(raw.substr(start));
    return out;
  }
};

// Byte order, as std::string compares: keys are short and mostly differ
// in their first bytes, so no call to memcmp for them.
int compareBytes(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n && i < 8; ++i)
    if (a[i] != b[i])
      return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[i]) ? -1 : 1;
  if (n > 8) return a.compare(b);
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

// The same order for two texts of a laid-out file, each followed by at least
// eight bytes of markup: their first eight bytes compare as one word.
int compareInText(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  uint64_t wa, wb;
  std::memcpy(&wa, a.data(), 8);
  std::memcpy(&wb, b.data(), 8);
  wa = __builtin_bswap64(wa);
  wb = __builtin_bswap64(wb);
  if (n < 8) {
    const uint64_t mask = n == 0 ? 0 : ~uint64_t{0} << (8 * (8 - n));
    wa &= mask;
    wb &= mask;
  }
  if (wa != wb) return wa < wb ? -1 : 1;
  if (n > 8) return a.compare(b);
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

int compareRaw(const RawText& a, const RawText& b) {
  if (!a.referenced && !b.referenced) return compareBytes(a.raw, b.raw);
  return a.value().compare(b.value());
}

constexpr std::string_view kKeyOpen = "\t<key>", kKeyClose = "</key>\n";
constexpr std::string_view kStringOpen = "\t<string>", kStringClose = "</string>\n";

template <class T>
T word(const char* p) {
  T w;
  std::memcpy(&w, p, sizeof w);
  return w;
}

// A text laid out exactly as the writer (and plistlib) lays out a root
// dictionary or array of strings: the fixed header, one entry a line.
class LaidOut {
 public:
  explicit LaidOut(std::string_view text) : p_(text.data()), end_(text.data() + text.size()) {}

  bool expect(std::string_view s) {
    const size_t n = s.size();
    if (static_cast<size_t>(end_ - p_) < n) return false;
    // The markup between texts is a few bytes: two overlapping words
    // compare it, with no call to memcmp.
    bool same;
    if (n >= 8)
      same = n <= 16 && word<uint64_t>(p_) == word<uint64_t>(s.data()) &&
             word<uint64_t>(p_ + n - 8) == word<uint64_t>(s.data() + n - 8);
    else
      same = n >= 4 && word<uint32_t>(p_) == word<uint32_t>(s.data()) &&
             word<uint32_t>(p_ + n - 4) == word<uint32_t>(s.data() + n - 4);
    if (!same && std::memcmp(p_, s.data(), n) != 0) return false;
    p_ += n;
    return true;
  }
  // The text from here to the '<' that ends it.
  [[gnu::always_inline]] bool text(RawText* text) {
    const char* start = p_;
    text->referenced = false;
    if (!scanText(p_, end_, &text->referenced)) return false;
    text->raw = std::string_view(start, static_cast<size_t>(p_ - start));
    return true;
  }
  bool element(std::string_view open, std::string_view close, RawText* raw) {
    return expect(open) && text(raw) && expect(close);
  }
  bool atEnd() const { return p_ == end_; }
  const char* position() const { return p_; }

  // Calls entry(key, value) for each entry of a root dictionary; false
  // when the text is laid out any other way. The markup of an entry is
  // compared a word at a time: "</dict>\n" and "</key>\n\t<string>" are
  // exactly one word and two.
  template <class Entry>
  bool dictionary(Entry&& entry) {
    if (!expect(kHeader)) return false;
    if (expect("<dict/>\n")) return expect("</plist>\n") && atEnd();
    if (!expect("<dict>\n")) return false;
    static constexpr std::string_view kBetween = "</key>\n\t<string>";
    static_assert(kBetween.size() == 16);
    const uint64_t dictClose = word<uint64_t>("</dict>\n");
    const uint64_t keyOpen = word<uint64_t>("\t<key>\0\0") & 0xFFFFFFFFFFFFull;
    const uint64_t between0 = word<uint64_t>(kBetween.data()),
                   between1 = word<uint64_t>(kBetween.data() + 8);
    const uint64_t stringClose = word<uint64_t>("</string>\n");
    const uint16_t stringClose8 = word<uint16_t>(&"</string>\n"[8]);
    RawText key, value;
    for (;;) {
      if (end_ - p_ < 8) return false;
      const uint64_t w = word<uint64_t>(p_);
      if (w == dictClose) {
        p_ += 8;
        break;
      }
      if ((w & 0xFFFFFFFFFFFFull) != keyOpen) return false;
      p_ += 6;
      if (!text(&key) || end_ - p_ < 16 || word<uint64_t>(p_) != between0 ||
          word<uint64_t>(p_ + 8) != between1)
        return false;
      p_ += 16;
      if (!text(&value) || end_ - p_ < 10 || word<uint64_t>(p_) != stringClose ||
          word<uint16_t>(p_ + 8) != stringClose8)
        return false;
      p_ += 10;
      entry(key, value);
    }
    return expect("</plist>\n") && atEnd();
  }

  template <class Entry>
  bool array(Entry&& entry) {
    if (!expect(kHeader)) return false;
    if (expect("<array/>\n")) return expect("</plist>\n") && atEnd();
    if (!expect("<array>\n")) return false;
    RawText value;
    while (!expect("</array>\n")) {
      if (!element(kStringOpen, kStringClose, &value)) return false;
      entry(value);
    }
    return expect("</plist>\n") && atEnd();
  }

 private:
  const char* p_;
  const char* end_;
};

// The parse of a text in the writer's layout, as expat's reader would give
// it; nullopt when laid out otherwise.
std::optional<PlistValue> parseLaidOut(std::string_view xml) {
  PlistDictionary dict;
  if (LaidOut(xml).dictionary([&](const RawText& key, const RawText& value) {
        std::string k = key.value();
        if (dict.empty() || dict.rbegin()->first < k)
          dict.emplace_hint(dict.end(), std::move(k), PlistValue(value.value()));
        else  // a repeated key replaces the earlier value, as expat's reader has it
          dict.insert_or_assign(std::move(k), PlistValue(value.value()));
      }))
    return PlistValue(std::move(dict));
  PlistArray array;
  if (LaidOut(xml).array([&](const RawText& value) { array.emplace_back(value.value()); }))
    return PlistValue(std::move(array));
  return std::nullopt;
}

}  // namespace

std::optional<PlistValue> parsePropertyListInGeneral(std::string_view xml) {
  try {
    Reader reader;
    return reader.parse(xml);
  } catch (...) {
    return std::nullopt;
  }
}

std::optional<PlistValue> parsePropertyList(std::string_view xml) {
  try {
    if (xml.size() > propertyListByteLimit()) return std::nullopt;
    // The store's own files need no general XML parser.
    if (std::optional<PlistValue> value = parseLaidOut(xml)) return value;
  } catch (...) {
    return std::nullopt;
  }
  return parsePropertyListInGeneral(xml);
}

namespace {

// Where each key of a text in the writer's layout starts; false when the
// text is laid out otherwise or its keys are not strictly sorted.
bool indexKeys(std::string_view text, std::vector<uint32_t>* keys) {
  keys->clear();
  if (text.size() > propertyListByteLimit()) return false;
  // No entry is shorter than "\t<key></key>\n\t<string></string>\n": room for
  // every key at once, and no copying as the index grows.
  keys->reserve(text.size() / 32);
  RawText previous;
  bool sorted = true;
  const char* base = text.data();
  const bool laidOut = LaidOut(text).dictionary([&](const RawText& key, const RawText&) {
    if (sorted && !keys->empty() &&
        (previous.referenced || key.referenced ? compareRaw(previous, key)
                                               : compareInText(previous.raw, key.raw)) >= 0)
      sorted = false;
    previous = key;
    keys->push_back(static_cast<uint32_t>(key.raw.data() - base));
  });
  return laidOut && sorted;
}

}  // namespace

std::optional<PlistDictionaryText> PlistDictionaryText::fromText(std::string text) {
  PlistDictionaryText result;
  try {
    if (indexKeys(text, &result.keys_)) {
      result.text_ = std::move(text);
      result.canonical_ = false;  // not known: set() finds out
      return result;
    }
    result.keys_.clear();
    std::optional<PlistValue> value = parsePropertyList(text);
    if (!value || !value->dictionary()) return std::nullopt;
    result.text_.clear();
    result.parsed_ = std::move(*value->dictionary());
    return result;
  } catch (...) {
    return std::nullopt;
  }
}

std::optional<PlistValue> salvagePropertyList(std::string_view xml) {
  try {
    Reader reader;
    if (auto whole = reader.parse(xml)) return whole;
    return reader.partialRoot();
  } catch (...) {
    return std::nullopt;
  }
}

namespace {
std::atomic<size_t> g_byteLimit{kMaxPropertyListBytes};
}  // namespace

size_t propertyListByteLimit() {
  return g_byteLimit.load(std::memory_order_relaxed);
}

void setPropertyListByteLimit(size_t bytes) {
  g_byteLimit.store(bytes ? std::min(bytes, kMaxPropertyListBytes) : kMaxPropertyListBytes,
                    std::memory_order_relaxed);
}

namespace {

// A file over the size limit is kept whole unless its start shows it is no
// property list at all (zeros, binary junk): then it is damaged like any other.
PlistReadProblem largeFileProblem(const std::string& devicePath) {
  std::optional<std::string> head = readFileHeadAtPath(devicePath, 4096);
  if (!head) return PlistReadProblem::Unavailable;
  std::string_view text = *head;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  const size_t first = text.find_first_not_of(" \t\r\n");
  const bool looksLikeXml = first != std::string_view::npos && text[first] == '<' &&
                            text.find('\0') == std::string_view::npos;
  return looksLikeXml ? PlistReadProblem::TooLarge : PlistReadProblem::Damaged;
}

// The text of the element that starts at offset, up to the '<' ending it.
RawText rawTextAt(std::string_view text, size_t offset) {
  const char* const start = text.data() + offset;
  const char* const end = text.data() + text.size();
  const char* p = start;
  bool referenced = false;
#if defined(__SSE2__)
  // One pass for both: the '<' that ends it and any '&' before.
  for (; end - p >= 16; p += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const unsigned close =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8('<'))));
    const unsigned amp =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8('&'))));
    if (close) {
      const int at = __builtin_ctz(close);
      referenced |= (amp & ((1u << at) - 1)) != 0;
      return RawText{std::string_view(start, static_cast<size_t>(p + at - start)), referenced};
    }
    referenced |= amp != 0;
  }
#endif
  for (; p < end && *p != '<'; ++p) referenced |= *p == '&';
  return RawText{std::string_view(start, static_cast<size_t>(p - start)), referenced};
}

}  // namespace

namespace {

std::optional<std::string> readPropertyListBytes(const std::string& devicePath,
                                                 PlistReadProblem* problem) {
  int error = 0;
  std::optional<std::string> bytes = readFileAtPath(devicePath, propertyListByteLimit(), &error);
  if (!bytes)
    *problem = error == ENOENT || error == ENOTDIR ? PlistReadProblem::Missing
               : error == EFBIG                    ? largeFileProblem(devicePath)
               : isTransientError(error)           ? PlistReadProblem::Unavailable
                                                   : PlistReadProblem::Damaged;
  return bytes;
}

std::optional<PlistValue> readPropertyListFile(const std::string& devicePath,
                                               PlistReadProblem* problem) {
  std::optional<std::string> bytes = readPropertyListBytes(devicePath, problem);
  if (!bytes) return std::nullopt;
  std::optional<PlistValue> value = parsePropertyList(*bytes);
  *problem = value ? PlistReadProblem::None : PlistReadProblem::Damaged;
  return value;
}

template <class T>
std::optional<T> readRoot(const std::string& devicePath, PlistReadProblem* problem) {
  PlistReadProblem ignored;
  if (!problem) problem = &ignored;
  try {
    std::optional<PlistValue> value = readPropertyListFile(devicePath, problem);
    if (!value) return std::nullopt;
    T* root = nullptr;
    if constexpr (std::is_same_v<T, PlistDictionary>)
      root = value->dictionary();
    else
      root = value->array();
    if (!root) {
      *problem = PlistReadProblem::Damaged;
      return std::nullopt;
    }
    return std::move(*root);
  } catch (...) {
    *problem = PlistReadProblem::Unavailable;  // out of memory
    return std::nullopt;
  }
}

}  // namespace

std::optional<PlistDictionaryText> dictionaryTextWithContentsOfFile(const std::string& devicePath,
                                                                    PlistReadProblem* problem) {
  PlistReadProblem ignored;
  if (!problem) problem = &ignored;
  try {
    std::optional<std::string> bytes = readPropertyListBytes(devicePath, problem);
    if (!bytes) return std::nullopt;
    std::optional<PlistDictionaryText> text = PlistDictionaryText::fromText(std::move(*bytes));
    *problem = text ? PlistReadProblem::None : PlistReadProblem::Damaged;
    return text;
  } catch (...) {
    *problem = PlistReadProblem::Unavailable;  // out of memory
    return std::nullopt;
  }
}

std::optional<PlistDictionary> dictionaryWithContentsOfFile(const std::string& devicePath) {
  return readRoot<PlistDictionary>(devicePath, nullptr);
}
std::optional<PlistArray> arrayWithContentsOfFile(const std::string& devicePath) {
  return readRoot<PlistArray>(devicePath, nullptr);
}
std::optional<PlistDictionary> dictionaryWithContentsOfFile(const std::string& devicePath,
                                                            PlistReadProblem* problem) {
  return readRoot<PlistDictionary>(devicePath, problem);
}
std::optional<PlistArray> arrayWithContentsOfFile(const std::string& devicePath,
                                                  PlistReadProblem* problem) {
  return readRoot<PlistArray>(devicePath, problem);
}

// ---------------------------------------------------------------------------
// Sanitising

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

bool needsSanitizing(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    // Printable ASCII, the bulk of any store, needs no decoding.
    if (const unsigned char c = text[i]; c >= 0x20 && c < 0x7f) {
      ++i;
      continue;
    }
    const utf8::Step step = utf8::decode(text, i);
    if (!step.valid || !utf8::isXmlChar(step.codePoint)) return true;
    i += step.length;
  }
  return false;
}

}  // namespace

bool isCleanText(std::string_view text) {
  return !needsSanitizing(text);
}

std::string sanitizeText(std::string_view text) {
  if (!needsSanitizing(text)) return std::string(text);
  std::string out;
  out.reserve(text.size() + 8);
  for (size_t i = 0; i < text.size();) {
    const utf8::Step step = utf8::decode(text, i);
    if (step.valid && utf8::isXmlChar(step.codePoint))
      out.append(text.substr(i, step.length));
    else
      out.append(kReplacement);
    i += step.length;
  }
  return out;
}

// ---------------------------------------------------------------------------
// Writing

namespace {

constexpr auto kPlainByte = [] {
  std::array<bool, 256> plain{};
  for (int c = 0x20; c < 0x7f; ++c) plain[c] = c != '&' && c != '<' && c != '>';
  return plain;
}();

class Writer {
 public:
  std::string out;

  void entry(std::string_view key, const PlistValue& v, size_t level) {
    element(level, "key", key);
    value(v, level);
  }

  void value(const PlistValue& v, size_t level) {
    switch (v.kind()) {
      case PlistValue::Kind::String:
        element(level, "string", *v.string());
        break;
      case PlistValue::Kind::Array:
        array(*v.array(), level);
        break;
      case PlistValue::Kind::Dictionary:
        dictionary(*v.dictionary(), level);
        break;
      case PlistValue::Kind::Other:
        other(*v.other(), level);
        break;
    }
  }

  void array(const PlistArray& a, size_t level) {
    if (a.empty()) return line(level, "<array/>");
    line(level, "<array>");
    for (const PlistValue& v : a) value(v, level + 1);
    line(level, "</array>");
  }

  void dictionary(const PlistDictionary& d, size_t level) {
    if (d.empty()) return line(level, "<dict/>");
    line(level, "<dict>");
    // Written as if every key were clean (one walk of a large map); a key
    // that is not discards that and takes the slow way.
    const size_t mark = out.size();
    bool clean = true;
    for (const auto& [key, v] : d) {
      if (!cleanElement(level + 1, "key", key)) {
        clean = false;
        break;
      }
      value(v, level + 1);
    }
    if (!clean) {
      out.resize(mark);
      // Sanitising can reorder keys and make two of them equal. A key that
      // was valid as given wins over one that only became equal to it.
      struct Entry {
        const PlistValue* value;
        bool exact;
      };
      std::map<std::string, Entry> sorted;
      for (const auto& [key, v] : d) {
        std::string clean = sanitizeText(key);
        const bool exact = clean == key;
        auto [it, inserted] = sorted.try_emplace(std::move(clean), Entry{&v, exact});
        if (!inserted && exact && !it->second.exact) it->second = Entry{&v, exact};
      }
      for (const auto& [key, entry] : sorted) {
        element(level + 1, "key", key);
        value(*entry.value, level + 1);
      }
    }
    line(level, "</dict>");
  }

  void other(const PlistOther& o, size_t level) {
    if (o.element == "true" || o.element == "false") {
      indent(level);
      out += '<';
      out += o.element;
      out += "/>\n";
    } else if (isLeafElement(o.element)) {
      element(level, o.element, o.text);
    } else {
      // Only leaf names can be written without breaking the document.
      element(level, "string", o.text);
    }
  }

 private:
  void indent(size_t level) { out.append(level, '\t'); }

  void line(size_t level, std::string_view text) {
    indent(level);
    out += text;
    out += '\n';
  }

  void element(size_t level, std::string_view name, std::string_view text) {
    const size_t mark = out.size();
    if (cleanElement(level, name, text)) return;
    out.resize(mark);
    indent(level);
    open(name);
    escapeClean(sanitizeText(text));
    close(name);
  }

  // Writes the element when its text needs no cleaning; false otherwise,
  // with part of it written.
  bool cleanElement(size_t level, std::string_view name, std::string_view text) {
    indent(level);
    open(name);
    if (!escapeClean(text)) return false;
    close(name);
    return true;
  }

  void open(std::string_view name) {
    out += '<';
    out += name;
    out += '>';
  }
  void close(std::string_view name) {
    out += "</";
    out += name;
    out += ">\n";
  }

  // Escapes text in one pass, copying runs that need nothing whole; false
  // as soon as something shows the text needs cleaning (sanitizeText).
  bool escapeClean(std::string_view text) {
    size_t start = 0;
    for (size_t i = 0; i < text.size();) {
      const unsigned char c = static_cast<unsigned char>(text[i]);
      if (kPlainByte[c]) {
        ++i;
        continue;
      }
      std::string_view entity;
      switch (c) {
        case '&':
          entity = "&amp;";
          break;
        case '<':
          entity = "&lt;";
          break;
        case '>':
          entity = "&gt;";
          break;
        case '\r':
          // A literal CR would come back as LF: XML normalises line ends.
          entity = "&#13;";
          break;
        default: {
          const utf8::Step step = utf8::decode(text, i);
          if (!step.valid || !utf8::isXmlChar(step.codePoint)) return false;
          i += step.length;
          continue;
        }
      }
      out.append(text.substr(start, i - start));
      out += entity;
      start = ++i;
    }
    out.append(text.substr(start));
    return true;
  }
};

constexpr std::string_view kRootDictionaryOpen = "<dict>\n";
constexpr std::string_view kRootDictionaryClose = "</dict>\n</plist>\n";
constexpr std::string_view kEntryKeyLine = "\n\t<key>";

// A key as the writer escaped it, back to its bytes.
std::optional<std::string> unescapedKey(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    if (text[i] != '&') {
      out += text[i++];
      continue;
    }
    static constexpr std::pair<std::string_view, char> kEntities[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&#13;", '\r'}};
    bool known = false;
    for (auto [entity, c] : kEntities)
      if (text.substr(i, entity.size()) == entity) {
        out += c;
        i += entity.size();
        known = true;
        break;
      }
    if (!known) return std::nullopt;
  }
  return out;
}

std::string entryText(std::string_view key, const PlistValue& value) {
  Writer w;
  w.entry(key, value, 1);
  return std::move(w.out);
}

std::string valueText(const PlistValue& value) {
  Writer w;
  w.value(value, 1);
  return std::move(w.out);
}

}  // namespace

size_t serializedEntrySize(std::string_view key, const std::string& value) {
  return entryText(key, PlistValue(value)).size();
}

std::optional<TextEdit> entryEdit(std::string_view text, const PlistDictionary& dictionary,
                                  PlistDictionary::const_iterator entry,
                                  const std::string* previous) {
  const std::string& key = entry->first;
  const std::string* value = entry->second.string();
  if (!value || !isCleanText(key) || !isCleanText(*value) || (previous && !isCleanText(*previous)))
    return std::nullopt;
  if (text.size() < kHeader.size() + kRootDictionaryOpen.size() + kRootDictionaryClose.size() ||
      text.substr(0, kHeader.size()) != kHeader ||
      text.substr(kHeader.size(), kRootDictionaryOpen.size()) != kRootDictionaryOpen ||
      !text.ends_with(kRootDictionaryClose))
    return std::nullopt;
  const size_t begin = kHeader.size() + kRootDictionaryOpen.size();
  const size_t end = text.size() - kRootDictionaryClose.size();

  // Every entry of the root starts a line with one tab and <key>: a string
  // cannot hold "<", deeper entries have more tabs.
  auto nextEntry = [&](size_t from) {
    const size_t found = text.find(kEntryKeyLine, from - 1);
    return found == std::string_view::npos || found + 1 >= end ? end : found + 1;
  };
  auto keyAt = [&](size_t start, size_t* lineEnd) -> std::optional<std::string> {
    constexpr std::string_view open = "\t<key>", close = "</key>\n";
    if (text.substr(start, open.size()) != open) return std::nullopt;
    const size_t closing = text.find(close, start + open.size());
    if (closing == std::string_view::npos || closing >= end) return std::nullopt;
    *lineEnd = closing + close.size();
    return unescapedKey(text.substr(start + open.size(), closing - start - open.size()));
  };

  // The first entry whose key is not less than key: with clean keys the
  // text is in the dictionary's order.
  size_t low = begin, high = end;
  while (low < high) {
    const size_t middle = low + (high - low) / 2;
    const size_t start = nextEntry(middle);
    size_t lineEnd = 0;
    if (start == end) {
      high = middle;
      continue;
    }
    std::optional<std::string> found = keyAt(start, &lineEnd);
    if (!found) return std::nullopt;
    if (*found >= key)
      high = middle;
    else
      low = start + 1;  // every position up to start leads to the same entry
  }
  const size_t at = nextEntry(low);
  size_t lineEnd = 0;
  std::optional<std::string> keyThere;
  if (at != end && !(keyThere = keyAt(at, &lineEnd))) return std::nullopt;

  if (!previous) {
    // The text must hold exactly the neighbours the dictionary has.
    const auto after = std::next(entry);
    if (after == dictionary.end() ? at != end : (!keyThere || *keyThere != after->first))
      return std::nullopt;
    return TextEdit{at, 0, entryText(key, entry->second)};
  }
  if (!keyThere || *keyThere != key) return std::nullopt;
  const std::string before = valueText(PlistValue(*previous));
  if (text.substr(lineEnd, before.size()) != before) return std::nullopt;
  return TextEdit{lineEnd, before.size(), valueText(entry->second)};
}

PlistDictionaryText::PlistDictionaryText() : text_(std::string(kHeader) + "<dict/>\n</plist>\n") {}

PlistDictionaryText PlistDictionaryText::fromDictionary(PlistDictionary dictionary) {
  PlistDictionaryText result;
  result.text_.clear();
  std::string text = serializePropertyList(dictionary);
  result.parsed_ = std::move(dictionary);
  result.adopt(std::move(text));
  return result;
}

// The writer's text of the same entries, built entry by entry (no dictionary
// of them all): a file another writer laid out with other escapes or an
// unescaped '>' is written as this writer writes it, as a whole write would.
void PlistDictionaryText::canonicalize() {
  if (parsed_ || canonical_ || keys_.empty()) return;
  // Mostly it is the writer's already: compared entry by entry, no copy.
  size_t at = kHeader.size() + kRootDictionaryOpen.size();
  size_t same = 0;
  for (; same < keys_.size(); ++same) {
    const std::string entry = entryText(keyAt(same), PlistValue(valueAt(same)));
    if (text_.compare(at, entry.size(), entry) != 0) break;
    at += entry.size();
  }
  if (same == keys_.size() && at + kRootDictionaryClose.size() == text_.size()) {
    canonical_ = true;
    return;
  }
  std::string out;
  out.reserve(text_.size());
  out.append(kHeader);
  out.append(kRootDictionaryOpen);
  for (size_t i = 0; i < keys_.size(); ++i) out += entryText(keyAt(i), PlistValue(valueAt(i)));
  out.append(kRootDictionaryClose);
  if (out != text_) {
    std::vector<uint32_t> keys;
    if (!indexKeys(out, &keys)) return;
    text_ = std::move(out);
    keys_ = std::move(keys);
  }
  canonical_ = true;
}

bool PlistDictionaryText::reindex() {
  if (indexKeys(text_, &keys_)) return true;
  keys_.clear();
  return false;
}

size_t PlistDictionaryText::lowerBound(const std::string& key, bool* found) const {
  size_t low = 0, high = keys_.size();
  *found = false;
  while (low < high) {
    const size_t middle = low + (high - low) / 2;
    const RawText there = rawTextAt(text_, keys_[middle]);
    const int order = there.referenced ? there.value().compare(key) : there.raw.compare(key);
    if (order < 0) {
      low = middle + 1;
    } else if (order > 0) {
      high = middle;
    } else {
      *found = true;
      return middle;
    }
  }
  return low;
}

size_t PlistDictionaryText::valueOffset(size_t index) const {
  return keys_[index] + rawTextAt(text_, keys_[index]).raw.size() + kKeyClose.size() +
         kStringOpen.size();
}

namespace {

std::string_view viewOf(const RawText& raw, std::string* scratch) {
  if (!raw.referenced) return raw.raw;
  *scratch = raw.value();
  return *scratch;
}

}  // namespace

std::string_view PlistDictionaryText::keyView(size_t index, std::string* scratch) const {
  return viewOf(rawTextAt(text_, keys_[index]), scratch);
}

std::string_view PlistDictionaryText::valueView(size_t index, std::string* scratch) const {
  return viewOf(rawTextAt(text_, valueOffset(index)), scratch);
}

std::string PlistDictionaryText::keyAt(size_t index) const {
  return rawTextAt(text_, keys_[index]).value();
}

std::string PlistDictionaryText::valueAt(size_t index) const {
  return rawTextAt(text_, valueOffset(index)).value();
}

std::optional<PlistValue> PlistDictionaryText::find(const std::string& key) const {
  if (parsed_) {
    auto it = parsed_->find(key);
    if (it == parsed_->end()) return std::nullopt;
    return it->second;
  }
  bool found = false;
  const size_t at = lowerBound(key, &found);
  if (!found) return std::nullopt;
  return PlistValue(valueAt(at));
}

size_t PlistDictionaryText::size() const {
  return parsed_ ? parsed_->size() : keys_.size();
}

PlistDictionary PlistDictionaryText::dictionary() const {
  if (parsed_) return *parsed_;
  PlistDictionary out;
  for (size_t i = 0; i < keys_.size(); ++i) out.emplace_hint(out.end(), keyAt(i), valueAt(i));
  return out;
}

std::string PlistDictionaryText::serialized() const {
  return parsed_ ? serializePropertyList(*parsed_) : text_;
}

void PlistDictionaryText::prepare(void (*prepare)(PlistDictionary&)) {
  if (parsed_ && prepare) prepare(*parsed_);
}

// Replaces length bytes at offset and moves the keys after index along;
// keyChange inserts (+1, its key text at offset + 6) or erases (-1) the key
// at index. keys_ has room reserved, so nothing throws once the text changed.
void PlistDictionaryText::splice(size_t index, size_t offset, size_t length,
                                 std::string_view replacement, int keyChange) {
  if (keyChange > 0) keys_.reserve(keys_.size() + 1);
  text_.replace(offset, length, replacement);
  const int64_t delta = static_cast<int64_t>(replacement.size()) - static_cast<int64_t>(length);
  if (keyChange > 0)
    keys_.insert(keys_.begin() + static_cast<ptrdiff_t>(index),
                 static_cast<uint32_t>(offset + kKeyOpen.size()));
  else if (keyChange < 0)
    keys_.erase(keys_.begin() + static_cast<ptrdiff_t>(index));
  for (size_t i = keyChange < 0 ? index : index + 1; i < keys_.size(); ++i)
    keys_[i] = static_cast<uint32_t>(keys_[i] + delta);
}

PlistDictionaryText::Change PlistDictionaryText::set(const std::string& key, std::string value) {
  Change change;
  const bool clean = isCleanText(key) && isCleanText(value);
  if (!parsed_ && (!clean || keys_.empty())) {
    // Rare or tiny: the whole dictionary, then the text again when it is
    // laid out so and holds what was set.
    PlistDictionary whole = dictionary();
    auto it = whole.find(key);
    change.added = it == whole.end();
    if (!change.added) change.previous = it->second;
    whole[key] = PlistValue(std::move(value));
    std::string text = serializePropertyList(whole);
    std::vector<uint32_t> keys;
    change.text = text_;
    change.canonical = canonical_;
    if (clean && indexKeys(text, &keys)) {
      text_ = std::move(text);
      keys_ = std::move(keys);
      canonical_ = true;
    } else {
      text_.clear();
      keys_.clear();
      parsed_ = std::move(whole);
    }
    return change;
  }
  if (parsed_) {
    auto it = parsed_->find(key);
    change.added = it == parsed_->end();
    if (change.added) {
      parsed_->emplace(key, PlistValue(std::move(value)));
    } else {
      change.previous = std::move(it->second);
      it->second = PlistValue(std::move(value));
    }
    return change;
  }
  canonicalize();
  bool found = false;
  const size_t at = lowerBound(key, &found);
  if (found) {
    const size_t offset = valueOffset(at);
    const RawText before = rawTextAt(text_, offset);
    change.previous = PlistValue(before.value());
    const std::string line = valueText(PlistValue(value));
    splice(at, offset, before.raw.size(),
           std::string_view(line).substr(kStringOpen.size(),
                                         line.size() - kStringOpen.size() - kStringClose.size()),
           0);
    return change;
  }
  change.added = true;
  const size_t offset =
      at < keys_.size() ? keys_[at] - kKeyOpen.size() : text_.size() - kRootDictionaryClose.size();
  splice(at, offset, 0, entryText(key, PlistValue(std::move(value))), +1);
  return change;
}

void PlistDictionaryText::adopt(std::string serialized) {
  if (!parsed_) return;
  for (const auto& entry : *parsed_)
    if (!isCleanText(entry.first)) return;
  std::vector<uint32_t> keys;
  if (!indexKeys(serialized, &keys)) return;
  text_ = std::move(serialized);
  keys_ = std::move(keys);
  parsed_.reset();
  canonical_ = true;
}

void PlistDictionaryText::undo(const std::string& key, Change change) {
  if (change.text) {
    text_ = std::move(*change.text);
    canonical_ = change.canonical;
    parsed_.reset();
    reindex();
    return;
  }
  if (parsed_) {
    if (change.added)
      parsed_->erase(key);
    else if (change.previous)
      (*parsed_)[key] = std::move(*change.previous);
    return;
  }
  bool found = false;
  const size_t at = lowerBound(key, &found);
  if (!found) return;
  if (change.added) {
    if (keys_.size() == 1) {
      *this = PlistDictionaryText();
      return;
    }
    const size_t start = keys_[at] - kKeyOpen.size();
    const size_t end = at + 1 < keys_.size() ? keys_[at + 1] - kKeyOpen.size()
                                             : text_.size() - kRootDictionaryClose.size();
    splice(at, start, end - start, {}, -1);
  } else if (change.previous && change.previous->string()) {
    set(key, *change.previous->string());
  }
}

namespace {

template <class T>
std::string serializeRoot(const T& root) {
  Writer w;
  w.out.append(kHeader);
  if constexpr (std::is_same_v<T, PlistDictionary>)
    w.dictionary(root, 0);
  else if constexpr (std::is_same_v<T, PlistArray>)
    w.array(root, 0);
  else
    w.value(root, 0);
  w.out.append("</plist>\n");
  return std::move(w.out);
}

template <class T>
bool writeRoot(const T& root, const std::string& devicePath,
               std::optional<FileIdentity>* written = nullptr) {
  if (written) written->reset();
  try {
    const std::string text = serializeRoot(root);
    if (text.size() > propertyListByteLimit()) {
      errno = EFBIG;  // no reader would take it back
      return false;
    }
    return writeFileAtomically(devicePath, text, nullptr, written);
  } catch (...) {
    return false;
  }
}

}  // namespace

std::string serializePropertyList(const PlistValue& value) {
  return serializeRoot(value);
}
std::string serializePropertyList(const PlistDictionary& value) {
  return serializeRoot(value);
}
std::string serializePropertyList(const PlistArray& value) {
  return serializeRoot(value);
}

bool writeToFile(const PlistValue& value, const std::string& devicePath) {
  return writeRoot(value, devicePath);
}
bool writeToFile(const PlistDictionary& value, const std::string& devicePath) {
  return writeRoot(value, devicePath);
}
bool writeToFile(const PlistArray& value, const std::string& devicePath) {
  return writeRoot(value, devicePath);
}
bool writeToFile(const PlistDictionary& value, const std::string& devicePath,
                 std::optional<FileIdentity>* written) {
  return writeRoot(value, devicePath, written);
}

}  // namespace ns
