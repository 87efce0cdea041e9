#include "UIKitHost/SDLWindowHost.h"

#include <SDL.h>
#include <dlfcn.h>
#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <memory>

#include "Foundation/RunLoop.h"
#include "UIKit/UIAlertView.h"
#include "UIKit/UIResponder.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UITextField.h"
#include "UIKit/UIWindow.h"
#include "UIKitHost/UIAutomation.h"
#include "UIKitHost/UIRenderer.h"
#include "X11Display.h"

namespace {

constexpr double kFrameInterval = 1.0 / 60;
// How far one notch of a wheel moves content, in points (three lines of
// text, as desktops scroll).
constexpr double kWheelStep = 40;
// The DPI a desktop draws at scale 1.
constexpr double kBaseDPI = 96;

// SDL is opened only when a window is wanted: linked, it and the forty-odd
// libraries it needs (X11, Wayland, sound, codecs) were loaded and
// relocated at every start of every program on the toolkit, headless ones
// included. The header still gives the types and constants.
// clang-format off
#define CORVANE_SDL_FUNCTIONS(X)                                                              \
  X(CreateRenderer) X(CreateTexture) X(CreateWindow) X(DestroyRenderer) X(DestroyTexture)     \
  X(DestroyWindow) X(GetDisplayDPI) X(GetError) X(GetModState) X(GetRendererOutputSize)       \
  X(GetWindowFlags) X(HasEvents) X(InitSubSystem) X(PollEvent) X(PumpEvents) X(RaiseWindow) X(RenderClear)               \
  X(RenderCopy) X(RenderPresent) X(RestoreWindow) X(SetHint) X(StartTextInput)                \
  X(UpdateTexture) X(WaitEventTimeout)
// clang-format on

struct SDLLibrary {
#define CORVANE_SDL_POINTER(name) decltype(&::SDL_##name) name = nullptr;
  CORVANE_SDL_FUNCTIONS(CORVANE_SDL_POINTER)
#undef CORVANE_SDL_POINTER
};

// The library, opened at the first call and kept for the life of the
// process; null with *error saying why when it cannot be used.
const SDLLibrary* openSDL(std::string* error) {
  static std::string failure;
  static const SDLLibrary* library = []() -> const SDLLibrary* {
    void* handle = dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
      failure = dlerror();
      return nullptr;
    }
    auto* lib = new SDLLibrary;
#define CORVANE_SDL_LOOKUP(name)                                                  \
  lib->name = reinterpret_cast<decltype(lib->name)>(dlsym(handle, "SDL_" #name)); \
  if (!lib->name) {                                                               \
    failure = "libSDL2-2.0.so.0 has no SDL_" #name;                               \
    delete lib;                                                                   \
    return nullptr;                                                               \
  }
    CORVANE_SDL_FUNCTIONS(CORVANE_SDL_LOOKUP)
#undef CORVANE_SDL_LOOKUP
    return lib;
  }();
  if (!library && error) *error = failure;
  return library;
}

// One open window and what it needs between frames.
class WindowSession {
 public:
  WindowSession(const SDLLibrary& sdl, double windowScale) : sdl_(sdl), windowScale_(windowScale) {}
  ~WindowSession() {
    if (frameTask_) ns::RunLoop::main().cancel(frameTask_);
    if (texture_) sdl_.DestroyTexture(texture_);
    if (sdlRenderer_) sdl_.DestroyRenderer(sdlRenderer_);
    if (window_) sdl_.DestroyWindow(window_);
    // The video subsystem stays up for the rest of the process: shutting it
    // down unloads the X libraries SDL opened, and with them the roots of
    // what they still hold, for no gain just before the program ends.
  }

  bool open(std::string* error) {
    // The first click on a window that is not focused is a touch too.
    sdl_.SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    // SIGINT and SIGTERM are the run loop's (StopOnSignals): SDL's handler
    // would only queue a quit that a loop blocked in poll never sees.
    sdl_.SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (sdl_.InitSubSystem(SDL_INIT_VIDEO) != 0) return fail(error);
    if (windowScale_ <= 0) windowScale_ = displayScale();
    CGRect screen = UIScreen::mainScreen()->bounds();
    int w = static_cast<int>(std::lround(screen.size.width * windowScale_));
    int h = static_cast<int>(std::lround(screen.size.height * windowScale_));
    window_ = sdl_.CreateWindow(program_invocation_short_name, SDL_WINDOWPOS_UNDEFINED,
                                SDL_WINDOWPOS_UNDEFINED, w, h,
                                SDL_WINDOW_SHOWN | SDL_WINDOW_ALLOW_HIGHDPI);
    if (!window_) return fail(error);
    sdlRenderer_ = sdl_.CreateRenderer(window_, -1, 0);
    if (!sdlRenderer_) sdlRenderer_ = sdl_.CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    if (!sdlRenderer_) return fail(error);
    sdl_.StartTextInput();
    return true;
  }

  // The run loop's wait: handles the events that came, draws a frame when
  // one is due and sleeps until the next event, frame or task.
  void wait(double maxWait) {
    bool handled = pump();
    present();
    if (closed_ || handled) return;
    double now = ns::RunLoop::main().now();
    double wait = maxWait;
    if (framePending_ || renderer_.isAnimating())
      wait = std::min(wait, lastFrame_ + kFrameInterval - now);
    if (wait > 0) {
      SDL_Event event;
      int ms = static_cast<int>(std::ceil(wait * 1000));
      if (sdl_.WaitEventTimeout(&event, ms)) {
        dispatch(event);
        pump();
      }
    }
    present();
  }

  // The X display connection's descriptor, which the run loop can wait on
  // with its own; -1 under other video drivers (they keep the sliced wait).
  int displayDescriptor() const { return x11DisplayDescriptor(window_); }

  // The loop's call around its wait on the display's descriptor: handles
  // what came, draws, and leaves nothing queued that the descriptor would not
  // show (drawing can read events into the client's queue). While a frame is
  // owed or something moves, a timer brings the next frame.
  void service() {
    for (int round = 0; round < 8 && !closed_; ++round) {
      pump();
      present();
      if (closed_) break;
      sdl_.PumpEvents();
      if (!sdl_.HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT)) break;
    }
    if (closed_ || frameTask_ || !(framePending_ || renderer_.isAnimating())) return;
    ns::RunLoop& loop = ns::RunLoop::main();
    double delay = std::max(0.0, lastFrame_ + kFrameInterval - loop.now());
    frameTask_ = loop.performAfter(delay, [this] {
      frameTask_ = 0;
      service();
    });
  }

  bool closed() const { return closed_; }

  void raise() {
    if (sdl_.GetWindowFlags(window_) & SDL_WINDOW_MINIMIZED) sdl_.RestoreWindow(window_);
    sdl_.RaiseWindow(window_);
  }

 private:
  // The first display's scale where SDL can tell it: its DPI over the
  // desktop's 96, in halves, from 1 to 4. (Where the desktop scales windows
  // itself, the window's pixels are already denser: the picture follows
  // the renderer's output size.)
  double displayScale() const {
    float dpi = 0;
    if (sdl_.GetDisplayDPI(0, nullptr, &dpi, nullptr) != 0 || !(dpi > 0)) return 1;
    return std::clamp(std::round(dpi / kBaseDPI * 2) / 2, 1.0, 4.0);
  }

  bool fail(std::string* error) {
    if (error) *error = sdl_.GetError();
    return false;
  }

  // Handles every waiting event; true if there was any.
  bool pump() {
    bool any = false;
    SDL_Event event;
    while (!closed_ && sdl_.PollEvent(&event)) {
      dispatch(event);
      any = true;
    }
    return any;
  }

  CGPoint pointOf(int x, int y) const {
    return CGPointMake((x + 0.5) / windowScale_, (y + 0.5) / windowScale_);
  }

  void dispatch(const SDL_Event& event) {
    switch (event.type) {
      case SDL_QUIT:
        close();
        break;
      case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_CLOSE) close();
        if (event.window.event == SDL_WINDOWEVENT_EXPOSED ||
            event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
          forceFrame_ = true;
        break;
      case SDL_MOUSEBUTTONDOWN:
        if (event.button.button == SDL_BUTTON_LEFT)
          press(pointOf(event.button.x, event.button.y), event.button.clicks);
        break;
      case SDL_MOUSEMOTION:
        if (fingerDown_ && (event.motion.state & SDL_BUTTON_LMASK))
          if (UIWindow* w = UIAutomation::targetWindow())
            w->touchMove(pointOf(event.motion.x, event.motion.y));
        break;
      case SDL_MOUSEBUTTONUP:
        if (event.button.button == SDL_BUTTON_LEFT)
          release(pointOf(event.button.x, event.button.y));
        break;
      case SDL_MOUSEWHEEL:
        wheel(event.wheel);
        break;
      case SDL_TEXTINPUT:
        if (UIAlertView::visibleAlert()) break;
        if (auto* input = dynamic_cast<UIKeyInput*>(UIResponder::currentFirstResponder()))
          input->insertText(event.text.text);
        break;
      case SDL_KEYDOWN:
        key(event.key.keysym);
        break;
      default:
        break;
    }
  }

  // A wheel notch or a touchpad's scroll: the content moves the way the
  // desktop says (wheel down, content up), over the view under the pointer.
  void wheel(const SDL_MouseWheelEvent& wheel) {
    double flip = wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -1 : 1;
    CGPoint delta =
        CGPointMake(flip * wheel.preciseX * kWheelStep, -flip * wheel.preciseY * kWheelStep);
    if (UIWindow* w = UIAutomation::targetWindow())
      w->scrollWheel(pointOf(wheel.mouseX, wheel.mouseY), delta);
  }

  void key(const SDL_Keysym& keysym) {
    SDL_Keycode key = keysym.sym;
    bool ctrl = keysym.mod & KMOD_CTRL, shift = keysym.mod & KMOD_SHIFT;
    bool enter = key == SDLK_RETURN || key == SDLK_KP_ENTER;
    if (ctrl && key == SDLK_q) return close();
    if (UIAlertView* alert = UIAlertView::visibleAlert()) {
      // Return presses the only button, Escape the cancel button (or the
      // only one).
      long buttons = alert->numberOfButtons();
      long index = -1;
      if (enter && buttons == 1) index = 0;
      if (key == SDLK_ESCAPE)
        index = alert->cancelButtonIndex() >= 0 ? alert->cancelButtonIndex()
                : buttons == 1                  ? 0
                                                : -1;
      if (index >= 0) {
        objc::Ref<UIAlertView> keep(alert);
        alertPress_ = -1;
        alert->dismissWithClickedButtonIndex(index, true);
      }
      return;
    }
    UIResponder* responder = UIResponder::currentFirstResponder();
    if (auto* field = dynamic_cast<UITextField*>(responder)) {
      using Move = UITextField::CaretMove;
      objc::Ref<UITextField> keep(field);
      if (ctrl && key == SDLK_a) return field->selectAll();
      if (key == SDLK_LEFT) return field->moveCaret(Move::Left, shift);
      if (key == SDLK_RIGHT) return field->moveCaret(Move::Right, shift);
      if (key == SDLK_HOME || key == SDLK_UP) return field->moveCaret(Move::Home, shift);
      if (key == SDLK_END || key == SDLK_DOWN) return field->moveCaret(Move::End, shift);
      if (key == SDLK_DELETE) return field->deleteForward();
    }
    auto* input = dynamic_cast<UIKeyInput*>(responder);
    if (!input) return;
    if (enter)
      input->insertReturn();
    else if (key == SDLK_BACKSPACE)
      input->deleteBackward();
  }

  void press(CGPoint p, int clicks) {
    if (UIAlertView::visibleAlert()) {
      // The alert is modal: the press goes to its buttons.
      alertPress_ = renderer_.alertButtonAtPoint(p);
      return;
    }
    if (UIWindow* w = UIAutomation::targetWindow()) {
      w->touchDown(p);
      fingerDown_ = true;
      clicks_ = clicks;
      pressedAt_ = p;
    }
  }

  // A click that ends on the text field being edited places its caret or
  // selects, as on a desktop; a touch alone leaves the caret at the end.
  void clickTextField(UIWindow* window, CGPoint p) {
    auto* field = dynamic_cast<UITextField*>(UIResponder::currentFirstResponder());
    if (!field || field->window() != window) return;
    CGPoint local = field->convertPointFromView(p, window);
    if (!field->pointInside(local, nullptr)) return;
    if (!field->pointInside(field->convertPointFromView(pressedAt_, window), nullptr)) return;
    field->clickAt(local, clicks_, sdl_.GetModState() & KMOD_SHIFT);
  }

  void release(CGPoint p) {
    if (fingerDown_) {
      fingerDown_ = false;
      if (UIWindow* w = UIAutomation::targetWindow()) {
        w->touchUp(p);
        clickTextField(w, p);
      }
      return;
    }
    long pressed = std::exchange(alertPress_, -1);
    UIAlertView* alert = UIAlertView::visibleAlert();
    if (alert && pressed >= 0 && renderer_.alertButtonAtPoint(p) == pressed) {
      objc::Ref<UIAlertView> keep(alert);
      alert->dismissWithClickedButtonIndex(pressed, true);
    }
  }

  void close() {
    closed_ = true;
    if (fingerDown_)
      if (UIWindow* w = UIAutomation::targetWindow()) w->touchCancel();
    fingerDown_ = false;
    ns::RunLoop::main().stop();
  }

  // Draws and shows a frame when the picture changed (or the desktop asked
  // for one), no sooner than a frame interval after the last.
  void present() {
    if (closed_) return;
    uint64_t digest = renderer_.screenDigest();
    if (!forceFrame_ && hasFrame_ && digest == lastDigest_) {
      framePending_ = false;
      return;
    }
    double now = ns::RunLoop::main().now();
    if (hasFrame_ && now < lastFrame_ + kFrameInterval) {
      framePending_ = true;
      return;
    }
    int pw = 0, ph = 0;
    if (sdl_.GetRendererOutputSize(sdlRenderer_, &pw, &ph) != 0 || pw <= 0 || ph <= 0) return;
    if (!context_ || context_->pixelWidth() != pw || context_->pixelHeight() != ph) {
      CGRect screen = UIScreen::mainScreen()->bounds();
      context_ = std::make_unique<CGContext>(screen.size.width, screen.size.height,
                                             pw / static_cast<double>(screen.size.width));
      if (texture_) sdl_.DestroyTexture(texture_);
      texture_ =
          sdl_.CreateTexture(sdlRenderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                             context_->pixelWidth(), context_->pixelHeight());
      if (!texture_) return;
    }
    renderer_.drawScreen(*context_);
    sdl_.UpdateTexture(texture_, nullptr, context_->data(), context_->stride());
    sdl_.RenderClear(sdlRenderer_);
    sdl_.RenderCopy(sdlRenderer_, texture_, nullptr, nullptr);
    sdl_.RenderPresent(sdlRenderer_);
    // What was drawn, read again: drawing runs the pending layout pass.
    lastDigest_ = renderer_.screenDigest();
    lastFrame_ = now;
    hasFrame_ = true;
    forceFrame_ = false;
    framePending_ = false;
  }

  const SDLLibrary& sdl_;
  SDL_Window* window_ = nullptr;
  SDL_Renderer* sdlRenderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  std::unique_ptr<CGContext> context_;
  UIRenderer renderer_;
  double windowScale_;
  bool closed_ = false;
  bool fingerDown_ = false;
  int clicks_ = 1;
  CGPoint pressedAt_{};
  long alertPress_ = -1;
  bool hasFrame_ = false;
  bool forceFrame_ = true;
  bool framePending_ = false;
  uint64_t lastDigest_ = 0;
  double lastFrame_ = 0;
  ns::RunLoop::TaskId frameTask_ = 0;
};

// The open window (one at a time), for raise requests.
WindowSession* gOpenSession = nullptr;

}  // namespace

bool SDLWindowHost::runMainLoop(double windowScale, std::string* error,
                                const std::function<void()>& afterEachWait, bool firstFrameOnly,
                                int wakeFd) {
  ns::RunLoop& loop = ns::RunLoop::main();
  const SDLLibrary* sdl = openSDL(error);
  if (!sdl) return false;
  auto session = std::make_unique<WindowSession>(*sdl, windowScale);
  if (!session->open(error)) return false;
  if (loop.isVirtual()) loop.useRealClock();
  gOpenSession = session.get();
  int displayFd = session->displayDescriptor();
  ns::RunLoop::WatchId watch = 0;
  if (displayFd >= 0) {
    // One poll on the display and the loop's descriptors: the loop wakes
    // only for input, timers and frames that are due.
    loop.setEventSource([s = session.get()](double) { s->service(); }, displayFd);
    if (afterEachWait && wakeFd >= 0)
      watch = loop.watchDescriptor(wakeFd, POLLIN, [&afterEachWait] { afterEachWait(); });
  } else {
    loop.setEventSource([s = session.get(), &afterEachWait](double maxWait) {
      s->wait(maxWait);
      if (afterEachWait && !s->closed()) afterEachWait();
    });
  }
  // The first frame comes before anything has to wait.
  session->wait(0);
  if (displayFd >= 0) session->service();
  if (!session->closed() && !firstFrameOnly) loop.run();
  if (watch) loop.unwatchDescriptor(watch);
  loop.setEventSource(nullptr);
  gOpenSession = nullptr;
  session.reset();
  return true;
}

bool SDLWindowHost::raiseWindow() {
  if (!gOpenSession) return false;
  gOpenSession->raise();
  return true;
}
