#include "UIKitHost/UIAutomation.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <vector>

#include "Foundation/RunLoop.h"
#include "UIKit/UIAlertView.h"
#include "UIKit/UIWindow.h"
#include "UIKitHost/UIRenderer.h"

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

// The dump is built as a JSON document and written one view a line (its
// fields inline, its children on the lines below, indented) so it reads and
// greps well; every value is written by the library.
using Json = nlohmann::ordered_json;

// A number with at most two decimals, as printf's %.2f rounds it; a whole
// number is written without a fraction (20, 246.15, 0.5).
Json roundedNumber(double v) {
  char buf[400];
  std::snprintf(buf, sizeof buf, "%.2f", v);
  double rounded = std::strtod(buf, nullptr);
  if (std::trunc(rounded) == rounded && std::fabs(rounded) < 9e18)
    return static_cast<int64_t>(rounded);
  return rounded;
}

// Invalid UTF-8 in a text becomes U+FFFD.
std::string scalarText(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// A value on one line, a blank after each ':' and ','.
std::string oneLine(const Json& value) {
  std::string out;
  if (value.is_object()) {
    for (const auto& item : value.items())
      out += (out.empty() ? "{" : ", ") + scalarText(item.key()) + ": " + oneLine(item.value());
    return out.empty() ? "{}" : out + "}";
  }
  if (value.is_array()) {
    for (const Json& element : value) out += (out.empty() ? "[" : ", ") + oneLine(element);
    return out.empty() ? "[]" : out + "]";
  }
  return scalarText(value);
}

Json viewDocument(const UIView* view) {
  CGRect f = view->frameOnScreen();
  Json out;
  out["class"] = view->className();
  out["frame"] = {roundedNumber(f.origin.x), roundedNumber(f.origin.y), roundedNumber(f.size.width),
                  roundedNumber(f.size.height)};
  out["alpha"] = roundedNumber(view->presentationAlpha());
  out["hidden"] = view->isHidden();
  if (auto text = view->displayedText()) out["text"] = *text;
  Json children = Json::array();
  for (const auto& child : view->subviews()) children.push_back(viewDocument(child));
  out["children"] = std::move(children);
  return out;
}

void writeView(const Json& view, size_t depth, std::string& out) {
  std::string pad(depth * 2, ' '), fields;
  for (const auto& item : view.items())
    if (item.key() != "children")
      fields +=
          (fields.empty() ? "{" : ", ") + scalarText(item.key()) + ": " + oneLine(item.value());
  out += pad + fields + ", \"children\": [";
  const Json& children = view.at("children");
  if (children.empty()) {
    out += "]}";
    return;
  }
  out += "\n";
  for (size_t i = 0; i < children.size(); ++i) {
    writeView(children[i], depth + 1, out);
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
  Json views = Json::array(), alerts = Json::array();
  for (UIWindow* window : UIWindow::allWindows()) views.push_back(viewDocument(window));
  for (UIAlertView* a : UIAlertView::alerts()) {
    Json alert;
    alert["title"] = a->title();
    alert["message"] = a->message();
    alert["button"] =
        a->buttonTitleAtIndex(a->cancelButtonIndex() >= 0 ? a->cancelButtonIndex() : 0);
    alert["visible"] = a->isVisible();
    alerts.push_back(std::move(alert));
  }

  std::string out = "{\"views\": [";
  if (!views.empty()) out += "\n";
  for (size_t i = 0; i < views.size(); ++i) {
    writeView(views[i], 1, out);
    out += i + 1 < views.size() ? ",\n" : "\n";
  }
  out += "],\n \"alerts\": [";
  for (size_t i = 0; i < alerts.size(); ++i) out += (i ? ",\n  " : "\n  ") + oneLine(alerts[i]);
  if (!alerts.empty()) out += "\n ";
  out += "]}\n";
  return out;
}
