#include "Foundation/PropertyList.h"

#include <expat.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <utility>

#include "Foundation/FileSystem.h"
#include "Utf8.h"

namespace ns {

bool PlistValue::operator==(const PlistValue& o) const {
  return value_ == o.value_;
}

const std::string* stringForKey(const PlistDictionary& dictionary, const std::string& key) {
  auto it = dictionary.find(key);
  return it == dictionary.end() ? nullptr : it->second.string();
}

namespace {

std::string_view trimmed(std::string_view s) {
  while (!s.empty() &&
         (s.front() == ' ' || s.front() == '\t' || s.front() == '\n' || s.front() == '\r'))
    s.remove_prefix(1);
  while (!s.empty() &&
         (s.back() == ' ' || s.back() == '\t' || s.back() == '\n' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

// An <integer>'s text as its value: optional sign, decimal or 0x digits.
std::optional<std::string> integerText(std::string_view raw) {
  std::string text(trimmed(raw));
  if (text.empty() || text.size() > 64) return std::nullopt;
  const char* start = text.c_str();
  bool negative = *start == '-';
  if (*start == '-' || *start == '+') ++start;
  int base = 10;
  if (start[0] == '0' && (start[1] == 'x' || start[1] == 'X')) {
    base = 16;
    start += 2;
  }
  if (!std::isxdigit(static_cast<unsigned char>(*start))) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  unsigned long long magnitude = std::strtoull(start, &end, base);
  if (*end || errno == ERANGE) return std::nullopt;
  if (magnitude > static_cast<unsigned long long>(LLONG_MAX)) return std::nullopt;
  long long value =
      negative ? -static_cast<long long>(magnitude) : static_cast<long long>(magnitude);
  char out[32];
  std::snprintf(out, sizeof out, "%lld", value);
  return std::string(out);
}

// A <real>'s text as its value: whole numbers without a fraction, so that a
// counter stored as 28.0 reads as 28.
std::optional<std::string> realText(std::string_view raw) {
  std::string text(trimmed(raw));
  if (text.empty() || text.size() > 64) return std::nullopt;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (*end || !std::isfinite(value)) return std::nullopt;
  char out[64];
  if (value == std::trunc(value) && std::fabs(value) < 9.2e18)
    std::snprintf(out, sizeof out, "%lld", static_cast<long long>(value));
  else
    std::snprintf(out, sizeof out, "%.17g", value);
  return std::string(out);
}

}  // namespace

std::optional<std::string> decimalText(const PlistValue& value) {
  if (const std::string* s = value.string()) return *s;
  const PlistOther* other = value.other();
  if (!other) return std::nullopt;
  if (other->element == "integer") return integerText(other->text);
  if (other->element == "real") return realText(other->text);
  return std::nullopt;
}

std::optional<std::string> decimalTextForKey(const PlistDictionary& dictionary,
                                             const std::string& key) {
  auto it = dictionary.find(key);
  if (it == dictionary.end()) return std::nullopt;
  return decimalText(it->second);
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
    if (!p || xml.size() > kMaxPropertyListBytes || xml.size() > size_t(INT_MAX)) return {};
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

 private:
  enum class Type { Plist, Array, Dict, Key, String, Leaf, Unknown };
  struct Frame {
    Type type;
    std::string name;  // element name of a leaf
    std::string text;
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
    r.guarded([&] { r.text(std::string_view(s, static_cast<size_t>(len))); });
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

  void start(std::string_view name) {
    // Unknown elements nest too: every element counts towards a second,
    // looser bound.
    if (++depth_ > 2 * kMaxPropertyListDepth) return fail();
    if (stack_.empty()) {
      if (name == "plist") {
        stack_.push_back(Frame{Type::Plist, {}, {}, {}, {}, {}, {}, false});
        return;
      }
      // A bare root value, as other readers accept it.
      stack_.push_back(Frame{Type::Plist, {}, {}, {}, {}, {}, {}, true});
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

    Frame& top = stack_.back();
    if (top.type == Type::Key || top.type == Type::String || top.type == Type::Leaf)
      return fail();  // text-only elements
    if (type != Type::Unknown) {
      Frame& into = container();
      switch (into.type) {
        case Type::Plist:
          if (name == "key") return fail();
          break;
        case Type::Array:
          if (name == "key") return fail();
          break;
        case Type::Dict:
          // Keys and values alternate, starting with a key.
          if ((name == "key") == into.pendingKey.has_value()) return fail();
          break;
        default:
          return fail();
      }
    }
    if ((type == Type::Array || type == Type::Dict) && ++containerDepth_ > kMaxPropertyListDepth)
      return fail();
    stack_.push_back(Frame{type, std::string(name), {}, {}, {}, {}, {}, false});
  }

  void end() {
    if (stack_.empty()) return fail();
    --depth_;
    Frame f = std::move(stack_.back());
    stack_.pop_back();
    PlistValue value;
    switch (f.type) {
      case Type::Plist:
        if (!f.plistValue) return fail();
        root_ = std::move(f.plistValue);
        return;
      case Type::Unknown:
        return;
      case Type::Key:
        // The start handler only opens a key when the dict waits for one.
        container().pendingKey = std::move(f.text);
        return;
      case Type::String:
        value = PlistValue(std::move(f.text));
        break;
      case Type::Array:
        --containerDepth_;
        value = PlistValue(std::move(f.array));
        break;
      case Type::Dict:
        --containerDepth_;
        if (f.pendingKey) return fail();  // a key without a value
        value = PlistValue(std::move(f.dict));
        break;
      case Type::Leaf:
        value = PlistValue(PlistOther{std::move(f.name), std::move(f.text)});
        break;
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
      case Type::Dict:
        // A repeated key replaces the earlier value.
        parent.dict.insert_or_assign(std::move(*parent.pendingKey), std::move(value));
        parent.pendingKey.reset();
        break;
      default:
        return fail();
    }
  }

  void text(std::string_view s) {
    if (stack_.empty()) return;
    Frame& top = stack_.back();
    // Text anywhere else (between elements, inside unknown ones) means
    // nothing and is skipped, as other readers skip it.
    if (top.type == Type::Key || top.type == Type::String || top.type == Type::Leaf)
      top.text.append(s);
  }

  std::unique_ptr<XML_ParserStruct, decltype(&XML_ParserFree)> parser_;
  std::vector<Frame> stack_;
  size_t depth_ = 0;
  size_t containerDepth_ = 0;
  bool failed_ = false;
  std::optional<PlistValue> root_;
};

}  // namespace

std::optional<PlistValue> parsePropertyList(std::string_view xml) {
  try {
    Reader reader;
    return reader.parse(xml);
  } catch (...) {
    return std::nullopt;
  }
}

namespace {

std::optional<PlistValue> readPropertyListFile(const std::string& devicePath,
                                               PlistReadProblem* problem) {
  int error = 0;
  std::optional<std::string> bytes = readFileAtPath(devicePath, kMaxPropertyListBytes, &error);
  if (!bytes) {
    *problem = error == ENOENT || error == ENOTDIR ? PlistReadProblem::Missing
               : isTransientError(error)           ? PlistReadProblem::Unavailable
                                                   : PlistReadProblem::Damaged;
    return std::nullopt;
  }
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

constexpr std::string_view kHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
    "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
    "<plist version=\"1.0\">\n";

class Writer {
 public:
  std::string out;

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
      if (needsSanitizing(key)) {
        clean = false;
        break;
      }
      element(level + 1, "key", key);
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
    indent(level);
    out += '<';
    out += name;
    out += '>';
    if (needsSanitizing(text))
      escape(sanitizeText(text));
    else
      escape(text);
    out += "</";
    out += name;
    out += ">\n";
  }

  // Runs without a character to escape are copied whole.
  void escape(std::string_view text) {
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
      std::string_view entity;
      switch (text[i]) {
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
        default:
          continue;
      }
      out.append(text.substr(start, i - start));
      out += entity;
      start = i + 1;
    }
    out.append(text.substr(start));
  }
};

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
    return writeFileAtomically(devicePath, serializeRoot(root), nullptr, written);
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
