#include "UIKit/UIRenderer.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

#include "Foundation/RunLoop.h"
#include "QuartzCore/CAShapeLayer.h"
#include "UIKit/UIAlertView.h"
#include "UIKit/UIButton.h"
#include "UIKit/UIImageView.h"
#include "UIKit/UILabel.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UIScrollView.h"
#include "UIKit/UISlider.h"
#include "UIKit/UITableView.h"
#include "UIKit/UITableViewCell.h"
#include "UIKit/UITextField.h"
#include "UIKit/UIWindow.h"

namespace {

// The platform's look for what the model leaves open.
constexpr CGColor kScreenBlack{0, 0, 0, 1};
constexpr CGColor kPlaceholderGrey{0.7, 0.7, 0.7, 1};
constexpr CGColor kCaretBlue{0.26, 0.42, 0.95, 1};
constexpr CGColor kSeparatorGrey{0.78, 0.78, 0.8, 1};
constexpr CGColor kTintBlue{0, 0.478, 1, 1};
constexpr CGColor kAlertDim{0, 0, 0, 0.4};
constexpr CGColor kAlertPanel{0.97, 0.97, 0.97, 1};
constexpr CGColor kAlertRule{0.8, 0.8, 0.8, 1};
constexpr double kSeparatorInset = 15;
constexpr double kAlertWidth = 270;
constexpr double kAlertPadding = 16;
constexpr double kAlertButtonHeight = 44;
constexpr double kPanelCornerRadius = 10;

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

CGColor withAlpha(CGColor c, double factor) {
  c.alpha *= factor;
  return c;
}

CGColor colorOf(const UIColor* color, CGColor fallback) {
  return color ? color->CGColor() : fallback;
}

CGTextAlignment alignmentOf(NSTextAlignment a) {
  switch (a) {
    case NSTextAlignmentCenter:
      return CGTextAlignment::Center;
    case NSTextAlignmentRight:
      return CGTextAlignment::Right;
    default:
      return CGTextAlignment::Left;
  }
}

// Where an image goes in a rectangle for a view's content mode.
CGRect placeImage(CGSize image, CGRect box, UIViewContentMode mode) {
  double w = image.width, h = image.height;
  if (w <= 0 || h <= 0) return box;
  double bx = box.origin.x, by = box.origin.y, bw = box.size.width, bh = box.size.height;
  switch (mode) {
    case UIViewContentModeScaleToFill:
    case UIViewContentModeRedraw:
      return box;
    case UIViewContentModeScaleAspectFit:
    case UIViewContentModeScaleAspectFill: {
      double f = mode == UIViewContentModeScaleAspectFit ? std::min(bw / w, bh / h)
                                                         : std::max(bw / w, bh / h);
      w *= f;
      h *= f;
      return CGRectMake(bx + (bw - w) / 2, by + (bh - h) / 2, w, h);
    }
    default:
      break;
  }
  // The others keep the image's size and pin it to a side or the centre.
  double x = bx + (bw - w) / 2, y = by + (bh - h) / 2;
  if (mode == UIViewContentModeLeft || mode == UIViewContentModeTopLeft ||
      mode == UIViewContentModeBottomLeft)
    x = bx;
  if (mode == UIViewContentModeRight || mode == UIViewContentModeTopRight ||
      mode == UIViewContentModeBottomRight)
    x = bx + bw - w;
  if (mode == UIViewContentModeTop || mode == UIViewContentModeTopLeft ||
      mode == UIViewContentModeTopRight)
    y = by;
  if (mode == UIViewContentModeBottom || mode == UIViewContentModeBottomLeft ||
      mode == UIViewContentModeBottomRight)
    y = by + bh - h;
  return CGRectMake(x, y, w, h);
}

// The table a cell is a row of, if any.
UITableView* tableOf(UITableViewCell* cell) {
  for (UIView* v = cell->superview(); v; v = v->superview())
    if (auto* table = dynamic_cast<UITableView*>(v)) return table;
  return nullptr;
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

// FNV-1a over the values that decide the picture.
class Digest {
 public:
  void bytes(const void* p, size_t n) {
    const auto* b = static_cast<const unsigned char*>(p);
    for (size_t i = 0; i < n; ++i) h_ = (h_ ^ b[i]) * 1099511628211ULL;
  }
  void number(double v) { bytes(&v, sizeof v); }
  void text(const std::string& s) {
    number(static_cast<double>(s.size()));
    bytes(s.data(), s.size());
  }
  void pointer(const void* p) { bytes(&p, sizeof p); }
  void rect(CGRect r) {
    number(r.origin.x);
    number(r.origin.y);
    number(r.size.width);
    number(r.size.height);
  }
  void color(const CGColorRef& c) {
    number(c ? 1 : 0);
    if (!c) return;
    number(c->red);
    number(c->green);
    number(c->blue);
    number(c->alpha);
  }
  void value(const CAValue& v) {
    number(static_cast<double>(v.kind()));
    if (v.kind() == CAValue::Kind::Color) return color(v.color());
    CGRect r = v.rect();
    rect(r);
  }
  uint64_t result() const { return h_; }

 private:
  uint64_t h_ = 1469598103934665603ULL;
};

void digestFont(Digest& d, const UIFont* font) {
  d.text(font ? font->fontName() : std::string());
  d.number(font ? font->pointSize() : 0);
}

void digestView(Digest& d, UIView* view) {
  d.pointer(view->className());
  if (auto* label = dynamic_cast<UILabel*>(view)) {
    d.text(label->text());
    digestFont(d, label->font());
    d.color(CGColorOf(label->textColor()));
    d.number(static_cast<double>(label->textAlignment()));
    d.number(static_cast<double>(label->numberOfLines()));
    d.number(label->isEnabled());
    d.number(label->adjustsFontSizeToFitWidth());
  } else if (auto* button = dynamic_cast<UIButton*>(view)) {
    d.text(button->currentTitle());
    d.color(CGColorOf(button->currentTitleColor()));
    d.pointer(button->currentBackgroundImage());
    d.pointer(button->currentImage());
    d.number(button->isHighlighted());
    digestFont(d, button->titleLabel()->font());
  } else if (auto* field = dynamic_cast<UITextField*>(view)) {
    d.text(field->text());
    d.text(field->placeholder());
    digestFont(d, field->font());
    d.color(CGColorOf(field->textColor()));
    d.number(static_cast<double>(field->textAlignment()));
    d.number(static_cast<double>(field->borderStyle()));
    d.number(field->isFirstResponder());
  } else if (auto* slider = dynamic_cast<UISlider*>(view)) {
    d.number(slider->value());
    d.number(slider->minimumValue());
    d.number(slider->maximumValue());
  } else if (auto* imageView = dynamic_cast<UIImageView*>(view)) {
    d.pointer(imageView->image());
    d.number(static_cast<double>(imageView->contentMode()));
  } else if (auto* cell = dynamic_cast<UITableViewCell*>(view)) {
    if (UITableView* table = tableOf(cell)) {
      d.number(static_cast<double>(table->separatorStyle()));
      d.color(CGColorOf(table->separatorColor()));
    }
  }
}

}  // namespace

UIRenderer::UIRenderer() : renderer_(this) {}
UIRenderer::~UIRenderer() = default;

// --- fonts -------------------------------------------------------------------

std::string UIRenderer::fontFamilyFor(const std::string& fontName) {
  std::string name = lower(fontName);
  if (name.find("futura") != std::string::npos) return "URW Gothic";
  if (name.empty() || name.find("helvetica") != std::string::npos ||
      name.find("arial") != std::string::npos || name.rfind(".sfui", 0) == 0 ||
      name.rfind("system", 0) == 0)
    return "Nimbus Sans";
  // A family name as fontconfig knows it ("Foo-Bold" is family "Foo").
  return fontName.substr(0, fontName.find('-'));
}

bool UIRenderer::fontIsBold(const std::string& fontName) {
  std::string name = lower(fontName);
  return name.find("bold") != std::string::npos || name.find("medium") != std::string::npos ||
         name.find("heavy") != std::string::npos;
}

CGTextStyle UIRenderer::textStyleFor(const UIFont* font, const CGColorRef& color) {
  CGTextStyle style;
  if (font) {
    style.family = fontFamilyFor(font->fontName());
    style.bold = fontIsBold(font->fontName());
    style.pointSize = font->pointSize();
  }
  style.color = color ? *color : CGColor{0, 0, 0, 1};
  return style;
}

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

// --- view content ------------------------------------------------------------

const CGImage* UIRenderer::imageFor(const UIImage* image) {
  if (!image) return nullptr;
  auto it = images_.find(image->hostPath());
  if (it == images_.end())
    it = images_.emplace(image->hostPath(), CGImage::loadPNG(image->hostPath())).first;
  return it->second.get();
}

void UIRenderer::drawLayerContent(CGContext& context, CALayer* layer) {
  auto* view = dynamic_cast<UIView*>(layer->delegate());
  if (!view || view->layer() != layer) return;
  CGRect bounds = view->presentationBounds();

  if (auto* label = dynamic_cast<UILabel*>(view)) {
    if (label->text().empty()) return;
    CGTextStyle style = textStyleFor(label->font(), CGColorOf(label->textColor()));
    style.alignment = alignmentOf(label->textAlignment());
    style.maxLines = static_cast<int>(std::max<NSInteger>(label->numberOfLines(), 0));
    if (!label->isEnabled()) style.color = withAlpha(style.color, 0.44);
    if (label->adjustsFontSizeToFitWidth() && style.maxLines == 1) {
      double width = context.measureText(label->text(), style).width;
      if (width > bounds.size.width && width > 0)
        style.pointSize *= std::max(bounds.size.width / width, 0.5);
    }
    context.drawText(label->text(), style, bounds);
  } else if (auto* button = dynamic_cast<UIButton*>(view)) {
    double darken = button->isHighlighted() ? 0.3 : 0;
    if (const CGImage* image = imageFor(button->currentBackgroundImage()))
      context.drawImage(*image, bounds, darken);
    if (UIImage* picture = button->currentImage())
      if (const CGImage* image = imageFor(picture))
        context.drawImage(*image, placeImage(picture->size(), bounds, UIViewContentModeCenter),
                          darken);
    std::string title = button->currentTitle();
    if (title.empty()) return;
    UILabel* titleLabel = button->titleLabel();
    CGTextStyle style = textStyleFor(titleLabel->font(), CGColorOf(button->currentTitleColor()));
    switch (button->contentHorizontalAlignment()) {
      case UIControlContentHorizontalAlignment::Left:
        style.alignment = CGTextAlignment::Left;
        break;
      case UIControlContentHorizontalAlignment::Right:
        style.alignment = CGTextAlignment::Right;
        break;
      default:
        style.alignment = CGTextAlignment::Center;
    }
    if (button->isHighlighted() && button->buttonType() == UIButtonTypeSystem)
      style.color = withAlpha(style.color, 0.2);
    context.drawText(title, style, bounds);
  } else if (auto* field = dynamic_cast<UITextField*>(view)) {
    CGRect box = bounds;
    if (field->borderStyle() == UITextBorderStyleRoundedRect) {
      context.fillRoundedRect(bounds, 5, {1, 1, 1, 1});
      context.strokeRoundedRect(bounds, 5, 0.5, kSeparatorGrey);
      box = CGRectInset(bounds, 7, 0);
    } else if (field->borderStyle() != UITextBorderStyleNone) {
      context.strokeRoundedRect(bounds, 0, 1, {0, 0, 0, 1});
      box = CGRectInset(bounds, 4, 0);
    }
    bool placeholder = field->text().empty();
    const std::string& text = placeholder ? field->placeholder() : field->text();
    CGTextStyle style = textStyleFor(field->font(), CGColorOf(field->textColor()));
    if (placeholder) style.color = kPlaceholderGrey;
    style.alignment = alignmentOf(field->textAlignment());
    context.drawText(text, style, box);
    if (field->isFirstResponder()) {
      // The caret after the last character.
      double width = placeholder ? 0 : context.measureText(text, style).width;
      width = std::min<double>(width, box.size.width);
      double x = box.origin.x;
      if (style.alignment == CGTextAlignment::Center)
        x += (box.size.width + width) / 2;
      else if (style.alignment == CGTextAlignment::Right)
        x += box.size.width;
      else
        x += width;
      double h = style.pointSize * 1.2;
      double y = box.origin.y + (box.size.height - h) / 2;
      x = std::min<double>(x + 1, box.origin.x + box.size.width - 2);
      context.fillRect(CGRectMake(x, y, 2, h), kCaretBlue);
    }
  } else if (auto* slider = dynamic_cast<UISlider*>(view)) {
    // A thin track, blue up to the value, and a round white thumb.
    double range = slider->maximumValue() - slider->minimumValue();
    double t = range > 0 ? (slider->value() - slider->minimumValue()) / range : 0;
    double thumb = std::min<double>(bounds.size.height, 28);
    double left = bounds.origin.x + thumb / 2,
           width = std::max<double>(bounds.size.width - thumb, 0);
    double midY = bounds.origin.y + bounds.size.height / 2;
    double x = left + width * std::clamp(t, 0.0, 1.0);
    context.fillRoundedRect(CGRectMake(left, midY - 1, width, 2), 1, kSeparatorGrey);
    context.fillRoundedRect(CGRectMake(left, midY - 1, x - left, 2), 1, kCaretBlue);
    CGRect knob = CGRectMake(x - thumb / 2, midY - thumb / 2, thumb, thumb);
    context.fillRoundedRect(knob, thumb / 2, {1, 1, 1, 1});
    context.strokeRoundedRect(knob, thumb / 2, 0.5, kSeparatorGrey);
  } else if (auto* imageView = dynamic_cast<UIImageView*>(view)) {
    UIImage* picture = imageView->image();
    if (const CGImage* image = imageFor(picture))
      context.drawImage(*image, placeImage(picture->size(), bounds, imageView->contentMode()));
  }
}

void UIRenderer::drawLayerOverlay(CGContext& context, CALayer* layer) {
  auto* cell = dynamic_cast<UITableViewCell*>(layer->delegate());
  if (!cell || cell->layer() != layer) return;
  UITableView* table = tableOf(cell);
  if (!table || table->separatorStyle() == UITableViewCellSeparatorStyleNone) return;
  // A hairline: one pixel at any scale, along the bottom, inset at the left.
  CGRect b = cell->presentationBounds();
  double hairline = 1 / context.scale();
  double y = b.origin.y + b.size.height - hairline / 2;
  context.strokeLine(CGPointMake(b.origin.x + kSeparatorInset, y),
                     CGPointMake(b.origin.x + b.size.width, y), hairline,
                     colorOf(table->separatorColor(), kSeparatorGrey));
}

// --- alerts ------------------------------------------------------------------

CGContext& UIRenderer::measuringContext() {
  if (!measure_) measure_ = std::make_unique<CGContext>(1, 1, 1);
  return *measure_;
}

namespace {
CGTextStyle alertStyle(double size, bool bold, CGColor color) {
  CGTextStyle s;
  s.family = UIRenderer::fontFamilyFor(UIFont::systemFontName());
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
    CGTextStyle style = alertStyle(17, cancel, kTintBlue);
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
      if (auto* scroll = dynamic_cast<UIScrollView*>(layer->delegate()))
        if (scroll->layer() == layer && (scroll->isDecelerating() || scroll->isDragging()))
          moving = true;
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
  Digest d;
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
      if (auto* view = dynamic_cast<UIView*>(layer->delegate()); view && view->layer() == layer)
        digestView(d, view);
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
