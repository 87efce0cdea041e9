#include "UIKitHost/UIRenderer.h"

#include <algorithm>

#include "QuartzCore/CAShapeLayer.h"
#include "UIKit/UIAlertView.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UIWindow.h"

namespace {

// The platform's look for what the model leaves open.
constexpr CGColor kScreenBlack{0, 0, 0, 1};
constexpr CGColor kAlertDim{0, 0, 0, 0.4};
constexpr CGColor kAlertPanel{0.97, 0.97, 0.97, 1};
constexpr CGColor kAlertRule{0.8, 0.8, 0.8, 1};
constexpr double kAlertWidth = 270;
constexpr double kAlertPadding = 16;
constexpr double kAlertButtonHeight = 44;
constexpr double kPanelCornerRadius = 10;

// The view a layer backs, if any.
UIView* viewOf(CALayer* layer) {
  auto* view = dynamic_cast<UIView*>(layer->delegate());
  return view && view->layer() == layer ? view : nullptr;
}

// Everything drawn from the windows down, root first.
template <class F>
void forEachLayer(CALayer* layer, const F& f) {
  f(layer);
  for (const auto& sub : layer->sublayers()) forEachLayer(sub.get(), f);
}

std::vector<UIWindow*> visibleWindows() {
  std::vector<UIWindow*> out;
  for (UIWindow* w : UIWindow::allWindows())
    if (!w->isHidden()) out.push_back(w);
  return out;
}

}  // namespace

UIRenderer::UIRenderer() : renderer_(this) {}
UIRenderer::~UIRenderer() = default;

// --- screen ------------------------------------------------------------------

std::unique_ptr<CGContext> UIRenderer::renderScreen(double scale) {
  UIScreen* screen = UIScreen::mainScreen();
  CGRect b = screen->bounds();
  auto context =
      std::make_unique<CGContext>(b.size.width, b.size.height, scale > 0 ? scale : screen->scale());
  drawScreen(*context);
  return context;
}

void UIRenderer::drawScreen(CGContext& context) {
  // Layout that is due runs before the picture, as it would before a frame.
  UIWindow::layoutAllWindowsIfNeeded();
  context.clear(kScreenBlack);
  for (UIWindow* window : visibleWindows()) drawView(context, window);
  if (UIAlertView* alert = UIAlertView::visibleAlert()) drawAlert(context, alert);
}

void UIRenderer::drawView(CGContext& context, UIView* view) {
  if (view) renderer_.render(context, view->layer());
}

bool UIRenderer::writeScreenshot(const std::string& hostPath, double scale) {
  return renderScreen(scale)->writePNG(hostPath);
}

// --- view content: each view draws its own ------------------------------------

void UIRenderer::drawLayerContent(CGContext& context, CALayer* layer) {
  if (UIView* view = viewOf(layer)) {
    UIDrawing drawing(context, images_);
    view->drawContent(drawing, view->presentationBounds());
  }
}

void UIRenderer::drawLayerOverlay(CGContext& context, CALayer* layer) {
  if (UIView* view = viewOf(layer)) {
    UIDrawing drawing(context, images_);
    view->drawOverlay(drawing, view->presentationBounds());
  }
}

// --- alerts ------------------------------------------------------------------

CGContext& UIRenderer::measuringContext() {
  if (!measure_) measure_ = std::make_unique<CGContext>(1, 1, 1);
  return *measure_;
}

namespace {
CGTextStyle alertStyle(double size, bool bold, CGColor color) {
  CGTextStyle s;
  s.family = UIDrawing::fontFamilyFor(UIFont::systemFontName());
  s.pointSize = size;
  s.bold = bold;
  s.color = color;
  s.alignment = CGTextAlignment::Center;
  s.maxLines = 0;
  return s;
}
}  // namespace

std::optional<UIRenderer::AlertLayout> UIRenderer::layoutAlert(UIAlertView* alert) {
  if (!alert) return std::nullopt;
  CGRect screen = UIScreen::mainScreen()->bounds();
  CGContext& m = measuringContext();
  double textWidth = kAlertWidth - 2 * kAlertPadding;
  CGSize title = m.measureText(alert->title(), alertStyle(17, true, {}), textWidth);
  CGSize message = m.measureText(alert->message(), alertStyle(13, false, {}), textWidth);
  // Very long texts are cut so the panel stays on the screen.
  double maxText = std::max<double>(screen.size.height - 160, 80);
  title.height = std::min<double>(title.height, maxText / 2);
  message.height = std::min<double>(message.height, maxText - title.height);
  long buttons = alert->numberOfButtons();
  double textHeight = 20 + title.height + (message.height > 0 ? 4 + message.height : 0) + 20;
  double height = textHeight + static_cast<double>(buttons) * kAlertButtonHeight;
  AlertLayout layout;
  layout.panel = CGRectMake((screen.size.width - kAlertWidth) / 2,
                            (screen.size.height - height) / 2, kAlertWidth, height);
  double x = layout.panel.origin.x + kAlertPadding;
  double y = layout.panel.origin.y + 20;
  layout.title = CGRectMake(x, y, textWidth, title.height);
  layout.message = CGRectMake(x, y + title.height + 4, textWidth, message.height);
  double top = layout.panel.origin.y + textHeight;
  for (long i = 0; i < buttons; ++i)
    layout.buttons.push_back(CGRectMake(layout.panel.origin.x,
                                        top + static_cast<double>(i) * kAlertButtonHeight,
                                        kAlertWidth, kAlertButtonHeight));
  return layout;
}

long UIRenderer::alertButtonAtPoint(CGPoint point) {
  auto layout = layoutAlert(UIAlertView::visibleAlert());
  if (!layout) return -1;
  for (size_t i = 0; i < layout->buttons.size(); ++i)
    if (CGRectContainsPoint(layout->buttons[i], point)) return static_cast<long>(i);
  return -1;
}

void UIRenderer::drawAlert(CGContext& context, UIAlertView* alert) {
  auto layout = layoutAlert(alert);
  if (!layout) return;
  CGRect screen = UIScreen::mainScreen()->bounds();
  context.fillRect(screen, kAlertDim);
  context.fillRoundedRect(layout->panel, kPanelCornerRadius, kAlertPanel);
  context.drawText(alert->title(), alertStyle(17, true, {0, 0, 0, 1}), layout->title);
  context.drawText(alert->message(), alertStyle(13, false, {0, 0, 0, 1}), layout->message);
  double hairline = 1 / context.scale();
  for (size_t i = 0; i < layout->buttons.size(); ++i) {
    CGRect b = layout->buttons[i];
    context.strokeLine(CGPointMake(b.origin.x, b.origin.y + hairline / 2),
                       CGPointMake(b.origin.x + b.size.width, b.origin.y + hairline / 2), hairline,
                       kAlertRule);
    bool cancel = static_cast<long>(i) == alert->cancelButtonIndex();
    CGTextStyle style = alertStyle(17, cancel, UIDrawing::kTintBlue);
    style.maxLines = 1;
    context.drawText(alert->buttonTitleAtIndex(static_cast<long>(i)), style,
                     CGRectInset(b, kAlertPadding / 2, 0));
  }
}

// --- activity ------------------------------------------------------------------

bool UIRenderer::isAnimating() {
  double now = CACurrentMediaTime();
  bool moving = false;
  std::erase_if(seen_, [](const auto& entry) { return !entry.second.animation.get(); });
  std::vector<CALayer*> roots;
  for (UIWindow* w : visibleWindows()) roots.push_back(w->layer());
  for (CALayer* root : roots) {
    forEachLayer(root, [&](CALayer* layer) {
      if (UIView* view = viewOf(layer); view && view->isMovingByItself()) moving = true;
      for (const std::string& key : layer->animationKeys()) {
        CAAnimation* anim = layer->animationForKey(key);
        if (!anim) continue;
        // The layer's copy keeps the begin time it was given; zero means
        // "when added", which was no later than when we first saw it.
        auto it = seen_.find(anim);
        if (it == seen_.end() || it->second.animation.get() != anim)
          it = seen_.insert_or_assign(anim, SeenAnimation{anim, now}).first;
        double begin = anim->beginTime() > 0 ? anim->beginTime() : it->second.firstSeen;
        if (now < begin + std::max(anim->duration(), 0.0)) moving = true;
      }
    });
  }
  return moving;
}

uint64_t UIRenderer::screenDigest() {
  UIDigest d;
  CGRect screen = UIScreen::mainScreen()->bounds();
  d.rect(screen);
  for (UIWindow* window : visibleWindows()) {
    d.pointer(window);
    forEachLayer(window->layer(), [&](CALayer* layer) {
      CALayerState s = layer->presentationState();
      d.pointer(layer);
      d.rect(s.frame());
      d.rect(s.bounds);
      d.number(s.opacity);
      d.number(s.hidden);
      d.color(s.backgroundColor);
      d.number(s.cornerRadius);
      d.number(s.masksToBounds);
      d.number(s.borderWidth);
      d.color(s.borderColor);
      d.number(static_cast<double>(layer->sublayers().size()));
      if (auto* shape = dynamic_cast<CAShapeLayer*>(layer)) {
        for (const CGPathElement& e : shape->path().elements()) {
          d.number(static_cast<double>(e.type));
          d.number(e.point.x);
          d.number(e.point.y);
          d.number(e.radius);
          d.number(e.startAngle);
          d.number(e.sweep);
        }
        for (const char* key :
             {"strokeStart", "strokeEnd", "lineWidth", "strokeColor", "fillColor"})
          d.value(shape->presentationValueForKeyPath(key));
        d.text(shape->lineCap());
      }
      if (UIView* view = viewOf(layer)) {
        d.pointer(view->className());
        view->digestContent(d);
      }
    });
  }
  for (UIAlertView* alert : UIAlertView::alerts()) {
    if (!alert->isVisible()) continue;
    d.pointer(alert);
    d.text(alert->title());
    d.text(alert->message());
    for (long i = 0; i < alert->numberOfButtons(); ++i) d.text(alert->buttonTitleAtIndex(i));
  }
  return d.result();
}
