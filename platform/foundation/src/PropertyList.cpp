#include "Foundation/PropertyList.h"

#include <expat.h>

#include <climits>
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

// ---------------------------------------------------------------------------
// Reading

namespace {

bool isXmlSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

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
    // one is the first step of every expansion attack: refuse outright.
    XML_SetEntityDeclHandler(p, &Reader::onEntityDecl);
    XML_SetStartDoctypeDeclHandler(p, &Reader::onDoctype);
    XML_SetSkippedEntityHandler(p, &Reader::onSkippedEntity);
    XML_SetParamEntityParsing(p, XML_PARAM_ENTITY_PARSING_NEVER);

    const XML_Status status = XML_Parse(p, xml.data(), static_cast<int>(xml.size()), XML_TRUE);
    if (status != XML_STATUS_OK || failed_ || !root_) return {};
    return std::move(root_);
  }

 private:
  enum class Type { Plist, Array, Dict, Key, String, Leaf };
  struct Frame {
    Type type;
    std::string name;  // element name of a leaf
    std::string text;
    PlistArray array;
    PlistDictionary dict;
    std::optional<std::string> pendingKey;  // a dict's key still waiting for its value
    std::optional<PlistValue> plistValue;   // the single value inside <plist>
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
  static void XMLCALL onDoctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*,
                                int hasInternalSubset) {
    if (hasInternalSubset) self(data).fail();
  }
  static void XMLCALL onSkippedEntity(void* data, const XML_Char*, int) { self(data).fail(); }

  void start(std::string_view name) {
    if (stack_.empty()) {
      if (name != "plist") return fail();
      stack_.push_back(Frame{Type::Plist, {}, {}, {}, {}, {}, {}});
      return;
    }
    Frame& top = stack_.back();
    switch (top.type) {
      case Type::Key:
      case Type::String:
      case Type::Leaf:
        return fail();  // text-only elements
      case Type::Plist:
        if (top.plistValue) return fail();
        if (name == "key") return fail();
        break;
      case Type::Array:
        if (name == "key") return fail();
        break;
      case Type::Dict:
        // Keys and values alternate, starting with a key.
        if ((name == "key") == top.pendingKey.has_value()) return fail();
        break;
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
      return fail();
    if ((type == Type::Array || type == Type::Dict) && ++depth_ > kMaxPropertyListDepth)
      return fail();
    stack_.push_back(Frame{type, std::string(name), {}, {}, {}, {}, {}});
  }

  void end() {
    if (stack_.empty()) return fail();
    Frame f = std::move(stack_.back());
    stack_.pop_back();
    PlistValue value;
    switch (f.type) {
      case Type::Plist:
        if (!f.plistValue) return fail();
        root_ = std::move(f.plistValue);
        return;
      case Type::Key:
        // The start handler only opens a key when the dict waits for one.
        stack_.back().pendingKey = std::move(f.text);
        return;
      case Type::String:
        value = PlistValue(std::move(f.text));
        break;
      case Type::Array:
        --depth_;
        value = PlistValue(std::move(f.array));
        break;
      case Type::Dict:
        --depth_;
        if (f.pendingKey) return fail();  // a key without a value
        value = PlistValue(std::move(f.dict));
        break;
      case Type::Leaf:
        if ((f.name == "true" || f.name == "false") && !isBlank(f.text)) return fail();
        value = PlistValue(PlistOther{std::move(f.name), std::move(f.text)});
        break;
    }
    Frame& parent = stack_.back();  // every value element has a parent
    switch (parent.type) {
      case Type::Plist:
        parent.plistValue = std::move(value);
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

  static bool isBlank(std::string_view s) {
    for (char c : s)
      if (!isXmlSpace(c)) return false;
    return true;
  }

  void text(std::string_view s) {
    if (stack_.empty()) return;
    Frame& top = stack_.back();
    if (top.type == Type::Key || top.type == Type::String || top.type == Type::Leaf) {
      top.text.append(s);
    } else if (!isBlank(s)) {
      fail();  // text between elements
    }
  }

  std::unique_ptr<XML_ParserStruct, decltype(&XML_ParserFree)> parser_;
  std::vector<Frame> stack_;
  size_t depth_ = 0;
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

std::optional<PlistValue> readPropertyListFile(const std::string& devicePath) {
  std::optional<std::string> bytes = readFileAtPath(devicePath, kMaxPropertyListBytes);
  if (!bytes) return std::nullopt;
  return parsePropertyList(*bytes);
}

}  // namespace

std::optional<PlistDictionary> dictionaryWithContentsOfFile(const std::string& devicePath) {
  try {
    std::optional<PlistValue> value = readPropertyListFile(devicePath);
    if (!value || !value->isDictionary()) return std::nullopt;
    return std::move(*value->dictionary());
  } catch (...) {
    return std::nullopt;
  }
}

std::optional<PlistArray> arrayWithContentsOfFile(const std::string& devicePath) {
  try {
    std::optional<PlistValue> value = readPropertyListFile(devicePath);
    if (!value || !value->isArray()) return std::nullopt;
    return std::move(*value->array());
  } catch (...) {
    return std::nullopt;
  }
}

// ---------------------------------------------------------------------------
// Sanitising

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

bool needsSanitizing(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
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
    bool clean = true;
    for (const auto& [key, v] : d) {
      if (needsSanitizing(key)) {
        clean = false;
        break;
      }
    }
    if (clean) {
      for (const auto& [key, v] : d) {
        element(level + 1, "key", key);
        value(v, level + 1);
      }
    } else {
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

  void escape(std::string_view text) {
    for (char c : text) {
      switch (c) {
        case '&':
          out += "&amp;";
          break;
        case '<':
          out += "&lt;";
          break;
        case '>':
          out += "&gt;";
          break;
        case '\r':
          // A literal CR would come back as LF: XML normalises line ends.
          out += "&#13;";
          break;
        default:
          out += c;
      }
    }
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
bool writeRoot(const T& root, const std::string& devicePath) {
  try {
    return writeFileAtomically(devicePath, serializeRoot(root));
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

}  // namespace ns
