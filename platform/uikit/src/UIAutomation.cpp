#include "UIKit/UIAutomation.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "Foundation/RunLoop.h"
#include "UIKit/UIAlertView.h"
#include "UIKit/UIRenderer.h"
#include "UIKit/UIWindow.h"

namespace {

using Status = UIAutomation::Status;

std::string trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return {};
  size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

std::vector<std::string> words(const std::string& s) {
  std::vector<std::string> out;
  std::istringstream in(s);
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

// A finite decimal number, the whole word.
bool number(const std::string& word, double* value) {
  char* end = nullptr;
  double v = std::strtod(word.c_str(), &end);
  if (word.empty() || *end != '\0' || !std::isfinite(v)) return false;
  *value = v;
  return true;
}

Status fail(std::string* message, int line, const std::string& what) {
  if (message) *message = "line " + std::to_string(line) + ": " + what;
  return Status::Error;
}

// Numbers with at most two decimals, without trailing zeros: 20, 246.15, 0.5.
std::string jsonNumber(double v) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%.2f", v);
  std::string s = buf;
  if (s.find('.') != std::string::npos) {
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
  }
  if (s == "-0") s = "0";
  return s;
}

// A JSON string: quotes, backslashes and control characters escaped, invalid
// UTF-8 replaced with U+FFFD.
std::string jsonString(const std::string& text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size();) {
    auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      if (c == '"' || c == '\\') {
        out += '\\';
        out += static_cast<char>(c);
      } else if (c == '\n') {
        out += "\\n";
      } else if (c == '\t') {
        out += "\\t";
      } else if (c == '\r') {
        out += "\\r";
      } else if (c < 0x20 || c == 0x7F) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\u%04x", c);
        out += buf;
      } else {
        out += static_cast<char>(c);
      }
      ++i;
      continue;
    }
    int len = c >= 0xF0 && c <= 0xF4   ? 4
              : c >= 0xE0 && c <= 0xEF ? 3
              : c >= 0xC2 && c <= 0xDF ? 2
                                       : 0;
    bool ok = len > 0 && i + static_cast<size_t>(len) <= text.size();
    uint32_t cp = ok ? (c & (0x7F >> len)) : 0;
    for (int k = 1; ok && k < len; ++k) {
      auto cc = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
      if ((cc & 0xC0) != 0x80) ok = false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    if (ok && ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
               (len == 4 && (cp < 0x10000 || cp > 0x10FFFF))))
      ok = false;
    if (ok) {
      out.append(text, i, static_cast<size_t>(len));
      i += static_cast<size_t>(len);
    } else {
      out += "\xEF\xBF\xBD";
      ++i;
    }
  }
  return out + "\"";
}

void dumpView(const UIView* view, int depth, std::string& out) {
  std::string pad(static_cast<size_t>(depth) * 2, ' ');
  CGRect f = view->frameOnScreen();
  out += pad + "{\"class\": " + jsonString(view->className()) + ", \"frame\": [" +
         jsonNumber(f.origin.x) + ", " + jsonNumber(f.origin.y) + ", " + jsonNumber(f.size.width) +
         ", " + jsonNumber(f.size.height) +
         "], \"alpha\": " + jsonNumber(view->presentationAlpha()) +
         ", \"hidden\": " + (view->isHidden() ? "true" : "false");
  if (auto text = view->displayedText()) out += ", \"text\": " + jsonString(*text);
  out += ", \"children\": [";
  const auto& children = view->subviews();
  if (children.empty()) {
    out += "]}";
    return;
  }
  out += "\n";
  for (size_t i = 0; i < children.size(); ++i) {
    dumpView(children[i], depth + 1, out);
    out += i + 1 < children.size() ? ",\n" : "\n";
  }
  out += pad + "]}";
}

Status runCommand(const std::vector<std::string>& w, const std::string& rest, int line,
                  std::string* message) {
  ns::RunLoop& loop = ns::RunLoop::main();
  const std::string& cmd = w[0];
  auto args = [&](size_t n) { return w.size() == n + 1; };
  std::vector<double> v;
  auto numbers = [&](size_t n) {
    v.assign(n, 0);
    for (size_t i = 0; i < n; ++i)
      if (!number(w[i + 1], &v[i])) return false;
    return true;
  };

  if (cmd == "tap") {
    if (!args(2) || !numbers(2)) return fail(message, line, "usage: tap X Y");
    UIWindow* window = UIAutomation::targetWindow();
    if (!window) return fail(message, line, "no window to tap");
    window->tap(CGPointMake(v[0], v[1]));
  } else if (cmd == "drag") {
    if (!args(5) || !numbers(5) || v[4] < 0)
      return fail(message, line, "usage: drag X1 Y1 X2 Y2 SECONDS");
    UIWindow* window = UIAutomation::targetWindow();
    if (!window) return fail(message, line, "no window to drag on");
    objc::Ref<UIWindow> keep(window);
    int steps = std::max(1, static_cast<int>(std::ceil(v[4] * 60 - 1e-9)));
    double start = loop.now();
    window->touchDown(CGPointMake(v[0], v[1]));
    for (int i = 1; i <= steps; ++i) {
      double f = static_cast<double>(i) / steps;
      loop.runUntil(start + v[4] * f);
      window->touchMove(CGPointMake(v[0] + (v[2] - v[0]) * f, v[1] + (v[3] - v[1]) * f));
    }
    window->touchUp(CGPointMake(v[2], v[3]));
  } else if (cmd == "type") {
    if (rest.empty()) return fail(message, line, "usage: type TEXT");
    auto* input = dynamic_cast<UIKeyInput*>(UIResponder::currentFirstResponder());
    if (!input) return fail(message, line, "no first responder to type into");
    input->insertText(rest);
  } else if (cmd == "key") {
    if (!args(1) || (w[1] != "return" && w[1] != "backspace"))
      return fail(message, line, "usage: key return|backspace");
    auto* input = dynamic_cast<UIKeyInput*>(UIResponder::currentFirstResponder());
    if (!input) return fail(message, line, "no first responder for the key");
    if (w[1] == "return")
      input->insertReturn();
    else
      input->deleteBackward();
  } else if (cmd == "wait") {
    if (!args(1) || !numbers(1) || v[0] < 0) return fail(message, line, "usage: wait SECONDS");
    loop.runFor(v[0]);
  } else if (cmd == "dump") {
    if (rest.empty()) return fail(message, line, "usage: dump PATH");
    UIWindow::layoutAllWindowsIfNeeded();
    std::ofstream out(rest, std::ios::binary | std::ios::trunc);
    out << UIAutomation::dumpJSON();
    out.close();
    if (!out) return fail(message, line, "cannot write the dump to \"" + rest + "\"");
  } else if (cmd == "screenshot") {
    if (rest.empty()) return fail(message, line, "usage: screenshot PATH");
    if (!UIRenderer().writeScreenshot(rest))
      return fail(message, line, "cannot write the screenshot to \"" + rest + "\"");
  } else if (cmd == "alert") {
    if (!args(1) || w[1] != "dismiss") return fail(message, line, "usage: alert dismiss");
    if (!UIAlertView::dismissTopmost()) return fail(message, line, "no alert is showing");
  } else if (cmd == "quit") {
    if (!args(0)) return fail(message, line, "usage: quit");
    return Status::Quit;
  } else {
    return fail(message, line, "unknown command \"" + cmd + "\"");
  }
  // Work the command deferred to the run loop is done before the next one.
  loop.runUntil(loop.now());
  return Status::Continue;
}

}  // namespace

UIWindow* UIAutomation::targetWindow() {
  if (UIWindow* key = UIWindow::keyWindow()) return key;
  auto all = UIWindow::allWindows();
  for (auto it = all.rbegin(); it != all.rend(); ++it)
    if (!(*it)->isHidden()) return *it;
  return nullptr;
}

UIAutomation::Status UIAutomation::runLine(const std::string& raw, int lineNumber,
                                           std::string* message) {
  std::string line = trim(raw);
  if (line.empty() || line[0] == '#') return Status::Continue;
  size_t space = line.find_first_of(" \t");
  std::string cmd = line.substr(0, space);
  // `type`, `dump` and `screenshot` take the rest of the line as it is (a
  // '#' included); elsewhere a '#' after a blank starts a comment.
  std::string rest = space == std::string::npos ? "" : trim(line.substr(space));
  if (cmd != "type" && cmd != "dump" && cmd != "screenshot") {
    for (size_t i = 1; i < line.size(); ++i) {
      if (line[i] == '#' && (line[i - 1] == ' ' || line[i - 1] == '\t')) {
        line = trim(line.substr(0, i));
        break;
      }
    }
  }
  if (cmd == "type" && space != std::string::npos) {
    // Typed text keeps its inner and trailing blanks; one separator goes.
    rest = raw.substr(raw.find(cmd) + cmd.size() + 1);
    while (!rest.empty() && (rest.back() == '\n' || rest.back() == '\r')) rest.pop_back();
  }
  return runCommand(words(line), rest, lineNumber, message);
}

UIAutomation::Status UIAutomation::runScript(const std::string& text, std::string* message) {
  std::istringstream in(text);
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    Status s = runLine(line, ++number, message);
    if (s != Status::Continue) return s;
  }
  return Status::Quit;
}

UIAutomation::Status UIAutomation::runScriptFile(const std::string& hostPath,
                                                 std::string* message) {
  std::ifstream in(hostPath, std::ios::binary);
  if (!in) {
    if (message) *message = "cannot read the script \"" + hostPath + "\"";
    return Status::Error;
  }
  std::stringstream ss;
  ss << in.rdbuf();
  return runScript(ss.str(), message);
}

std::string UIAutomation::dumpJSON() {
  std::string out = "{\"views\": [";
  auto windows = UIWindow::allWindows();
  if (!windows.empty()) out += "\n";
  for (size_t i = 0; i < windows.size(); ++i) {
    dumpView(windows[i], 1, out);
    out += i + 1 < windows.size() ? ",\n" : "\n";
  }
  out += "],\n \"alerts\": [";
  auto alerts = UIAlertView::alerts();
  for (size_t i = 0; i < alerts.size(); ++i) {
    UIAlertView* a = alerts[i];
    out += (i ? ",\n  " : "\n  ");
    out += "{\"title\": " + jsonString(a->title()) + ", \"message\": " + jsonString(a->message()) +
           ", \"button\": " +
           jsonString(
               a->buttonTitleAtIndex(a->cancelButtonIndex() >= 0 ? a->cancelButtonIndex() : 0)) +
           ", \"visible\": " + (a->isVisible() ? "true" : "false") + "}";
  }
  if (!alerts.empty()) out += "\n ";
  out += "]}\n";
  return out;
}
