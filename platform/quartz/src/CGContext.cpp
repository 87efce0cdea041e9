#include "QuartzCore/CGContext.h"

#include <cairo.h>
#include <pango/pangocairo.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "Foundation/FileSystem.h"

// --- images ------------------------------------------------------------------

bool CGImage::readPNGSize(std::string_view header, int* width, int* height) {
  static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (header.size() < 24) return false;
  auto byte = [&](size_t at) { return static_cast<unsigned char>(header[at]); };
  for (size_t i = 0; i < 8; ++i)
    if (byte(i) != kSignature[i]) return false;
  if (header.substr(12, 4) != "IHDR") return false;
  auto be32 = [&](size_t at) {
    return (uint32_t{byte(at)} << 24) | (uint32_t{byte(at + 1)} << 16) |
           (uint32_t{byte(at + 2)} << 8) | uint32_t{byte(at + 3)};
  };
  uint32_t w = be32(16), h = be32(20);
  // The format allows up to 2^31 - 1; zero is invalid.
  if (w == 0 || h == 0 || w > 0x7FFFFFFF || h > 0x7FFFFFFF) return false;
  *width = static_cast<int>(w);
  *height = static_cast<int>(h);
  return true;
}

bool CGImage::readPNGFileSize(const std::string& hostPath, int* width, int* height) {
  FILE* f = std::fopen(hostPath.c_str(), "rb");
  if (!f) return false;
  char header[24];
  size_t n = std::fread(header, 1, sizeof header, f);
  std::fclose(f);
  return readPNGSize(std::string_view(header, n), width, height);
}

CGImage::~CGImage() {
  cairo_surface_destroy(static_cast<cairo_surface_t*>(surface_));
}

std::shared_ptr<CGImage> CGImage::loadPNG(const std::string& hostPath) {
  int w = 0, h = 0;
  if (!readPNGFileSize(hostPath, &w, &h) || int64_t{w} * h > kMaxPixels) return nullptr;
  cairo_surface_t* s = cairo_image_surface_create_from_png(hostPath.c_str());
  if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(s);
    return nullptr;
  }
  return std::shared_ptr<CGImage>(new CGImage(s));
}

int CGImage::pixelWidth() const {
  return cairo_image_surface_get_width(static_cast<cairo_surface_t*>(surface_));
}
int CGImage::pixelHeight() const {
  return cairo_image_surface_get_height(static_cast<cairo_surface_t*>(surface_));
}

// --- context -----------------------------------------------------------------

struct CGContext::Impl {
  cairo_surface_t* surface = nullptr;
  cairo_t* cr = nullptr;
  PangoContext* pango = nullptr;
  PangoLayout* layout = nullptr;

  ~Impl() {
    if (layout) g_object_unref(layout);
    if (pango) g_object_unref(pango);
    if (cr) cairo_destroy(cr);
    if (surface) cairo_surface_destroy(surface);
  }

  // One layout reused for every piece of text; its context follows the
  // current transformation, so text is set for the pixels it lands on.
  PangoLayout* layoutFor(const std::string& text, const CGTextStyle& style) {
    if (!pango) {
      pango = pango_cairo_create_context(cr);
      // Unhinted metrics: text takes the same room at every scale, so a
      // screenshot at scale 2 lays out like the window at scale 1.
      cairo_font_options_t* options = cairo_font_options_create();
      cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
      cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
      cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
      pango_cairo_context_set_font_options(pango, options);
      cairo_font_options_destroy(options);
      layout = pango_layout_new(pango);
    }
    pango_cairo_update_context(cr, pango);
    pango_layout_context_changed(layout);

    PangoFontDescription* font = pango_font_description_new();
    pango_font_description_set_family(font, style.family.c_str());
    pango_font_description_set_weight(font, style.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_absolute_size(font, std::max(style.pointSize, 0.0) * PANGO_SCALE);
    pango_layout_set_font_description(layout, font);
    pango_font_description_free(font);
    // Text from files or typing may not be UTF-8; pango wants it valid.
    gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
    pango_layout_set_text(layout, valid, -1);
    g_free(valid);
    pango_layout_set_alignment(layout,
                               style.alignment == CGTextAlignment::Center  ? PANGO_ALIGN_CENTER
                               : style.alignment == CGTextAlignment::Right ? PANGO_ALIGN_RIGHT
                                                                           : PANGO_ALIGN_LEFT);
    pango_layout_set_single_paragraph_mode(layout, style.maxLines == 1);
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    return layout;
  }
};

CGContext::CGContext(double width, double height, double scale)
    : impl_(std::make_unique<Impl>()), scale_(scale > 0 ? scale : 1) {
  auto pixels = [&](double points) {
    double p = std::ceil(std::max(points, 0.0) * scale_ - 1e-6);
    return static_cast<int>(std::clamp(p, 1.0, 16384.0));
  };
  impl_->surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pixels(width), pixels(height));
  impl_->cr = cairo_create(impl_->surface);
  cairo_scale(impl_->cr, scale_, scale_);
}

CGContext::~CGContext() = default;

int CGContext::pixelWidth() const {
  return cairo_image_surface_get_width(impl_->surface);
}
int CGContext::pixelHeight() const {
  return cairo_image_surface_get_height(impl_->surface);
}
const uint8_t* CGContext::data() const {
  cairo_surface_flush(impl_->surface);
  return cairo_image_surface_get_data(impl_->surface);
}
int CGContext::stride() const {
  return cairo_image_surface_get_stride(impl_->surface);
}

// --- state -------------------------------------------------------------------

void CGContext::saveGState() {
  cairo_save(impl_->cr);
}
void CGContext::restoreGState() {
  cairo_restore(impl_->cr);
}
void CGContext::translate(double dx, double dy) {
  cairo_translate(impl_->cr, dx, dy);
}

namespace {
void setColor(cairo_t* cr, const CGColor& c) {
  cairo_set_source_rgba(cr, c.red, c.green, c.blue, c.alpha);
}

// A rectangle with quarter-circle corners; the radius is limited to half
// the shorter side, as layers limit it.
void roundedRectPath(cairo_t* cr, CGRect r, double radius) {
  r = CGRectStandardize(r);
  double x = r.origin.x, y = r.origin.y, w = r.size.width, h = r.size.height;
  radius = std::clamp(radius, 0.0, std::min(w, h) / 2);
  if (radius <= 0) {
    cairo_rectangle(cr, x, y, w, h);
    return;
  }
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - radius, y + radius, radius, -M_PI / 2, 0);
  cairo_arc(cr, x + w - radius, y + h - radius, radius, 0, M_PI / 2);
  cairo_arc(cr, x + radius, y + h - radius, radius, M_PI / 2, M_PI);
  cairo_arc(cr, x + radius, y + radius, radius, M_PI, 3 * M_PI / 2);
  cairo_close_path(cr);
}

double distance(CGPoint a, CGPoint b) {
  return std::hypot(b.x - a.x, b.y - a.y);
}

CGPoint lerp(CGPoint a, CGPoint b, double t) {
  return CGPointMake(a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t);
}

// Emits the part of a path between two lengths from its start into cairo.
// Arcs are cut by angle, so a partly drawn circle stays a true circle.
class PathTrimmer {
 public:
  PathTrimmer(cairo_t* cr, double from, double to) : cr_(cr), from_(from), to_(to) {}

  void run(const CGPath& path) {
    for (const CGPathElement& e : path.elements()) {
      switch (e.type) {
        case CGPathElement::Type::MoveTo:
          current_ = start_ = e.point;
          hasPoint_ = true;
          penDown_ = false;
          break;
        case CGPathElement::Type::LineTo:
          line(hasPoint_ ? current_ : e.point, e.point);
          break;
        case CGPathElement::Type::Arc: {
          CGPoint first = CGPointMake(e.point.x + e.radius * std::cos(e.startAngle),
                                      e.point.y + e.radius * std::sin(e.startAngle));
          if (hasPoint_) {
            line(current_, first);
          } else {
            start_ = current_ = first;
            hasPoint_ = true;
          }
          arc(e);
          break;
        }
        case CGPathElement::Type::Close:
          if (hasPoint_) line(current_, start_);
          penDown_ = false;
          break;
      }
    }
  }

 private:
  // Moves the pen to p if the stroke is not already running there.
  void ensureDown(CGPoint p) {
    if (!penDown_) cairo_move_to(cr_, p.x, p.y);
    penDown_ = true;
  }

  // The visible part of a segment of length len that starts at done_.
  bool visible(double len, double* s, double* e) const {
    *s = std::max(from_ - done_, 0.0);
    *e = std::min(to_ - done_, len);
    return len > 0 && *e > *s;
  }

  void line(CGPoint a, CGPoint b) {
    double len = distance(a, b), s, e;
    if (visible(len, &s, &e)) {
      ensureDown(lerp(a, b, s / len));
      CGPoint q = lerp(a, b, e / len);
      cairo_line_to(cr_, q.x, q.y);
      penDown_ = e >= len;
    } else {
      penDown_ = false;
    }
    done_ += len;
    current_ = b;
  }

  void arc(const CGPathElement& arc) {
    double len = arc.radius * std::fabs(arc.sweep), s, e;
    auto pointAt = [&](double angle) {
      return CGPointMake(arc.point.x + arc.radius * std::cos(angle),
                         arc.point.y + arc.radius * std::sin(angle));
    };
    if (visible(len, &s, &e)) {
      double a0 = arc.startAngle + arc.sweep * (s / len);
      double a1 = arc.startAngle + arc.sweep * (e / len);
      ensureDown(pointAt(a0));
      if (arc.sweep >= 0)
        cairo_arc(cr_, arc.point.x, arc.point.y, arc.radius, a0, a1);
      else
        cairo_arc_negative(cr_, arc.point.x, arc.point.y, arc.radius, a0, a1);
      penDown_ = e >= len;
    } else {
      penDown_ = false;
    }
    done_ += len;
    current_ = pointAt(arc.startAngle + arc.sweep);
  }

  cairo_t* cr_;
  double from_, to_;
  double done_ = 0;
  CGPoint current_, start_;
  bool hasPoint_ = false;
  bool penDown_ = false;
};

// The whole path, with its closes.
void addPath(cairo_t* cr, const CGPath& path) {
  for (const CGPathElement& e : path.elements()) {
    switch (e.type) {
      case CGPathElement::Type::MoveTo:
        cairo_move_to(cr, e.point.x, e.point.y);
        break;
      case CGPathElement::Type::LineTo:
        cairo_line_to(cr, e.point.x, e.point.y);
        break;
      case CGPathElement::Type::Arc:
        if (e.sweep >= 0)
          cairo_arc(cr, e.point.x, e.point.y, e.radius, e.startAngle, e.startAngle + e.sweep);
        else
          cairo_arc_negative(cr, e.point.x, e.point.y, e.radius, e.startAngle,
                             e.startAngle + e.sweep);
        break;
      case CGPathElement::Type::Close:
        cairo_close_path(cr);
        break;
    }
  }
}

// The length addPath would stroke, with arcs measured exactly.
double pathLength(const CGPath& path) {
  double total = 0;
  CGPoint current, start;
  bool has = false;
  for (const CGPathElement& e : path.elements()) {
    switch (e.type) {
      case CGPathElement::Type::MoveTo:
        current = start = e.point;
        has = true;
        break;
      case CGPathElement::Type::LineTo:
        if (has) total += distance(current, e.point);
        current = e.point;
        has = true;
        break;
      case CGPathElement::Type::Arc: {
        CGPoint first = CGPointMake(e.point.x + e.radius * std::cos(e.startAngle),
                                    e.point.y + e.radius * std::sin(e.startAngle));
        if (has)
          total += distance(current, first);
        else
          start = first;
        total += e.radius * std::fabs(e.sweep);
        double end = e.startAngle + e.sweep;
        current =
            CGPointMake(e.point.x + e.radius * std::cos(end), e.point.y + e.radius * std::sin(end));
        has = true;
        break;
      }
      case CGPathElement::Type::Close:
        if (has) total += distance(current, start);
        current = start;
        break;
    }
  }
  return total;
}
}  // namespace

void CGContext::clipToRect(CGRect rect) {
  rect = CGRectStandardize(rect);
  cairo_rectangle(impl_->cr, rect.origin.x, rect.origin.y, rect.size.width, rect.size.height);
  cairo_clip(impl_->cr);
}

void CGContext::clipToRoundedRect(CGRect rect, double cornerRadius) {
  roundedRectPath(impl_->cr, rect, cornerRadius);
  cairo_clip(impl_->cr);
}

void CGContext::beginTransparencyLayer() {
  cairo_push_group(impl_->cr);
}

void CGContext::endTransparencyLayer(double alpha) {
  cairo_pop_group_to_source(impl_->cr);
  cairo_paint_with_alpha(impl_->cr, std::clamp(alpha, 0.0, 1.0));
  // The group stays the source until the next colour is set; let it go now.
  cairo_set_source_rgba(impl_->cr, 0, 0, 0, 0);
}

// --- shapes --------------------------------------------------------------------

void CGContext::clear(const CGColor& color) {
  cairo_t* cr = impl_->cr;
  cairo_save(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  setColor(cr, color);
  cairo_paint(cr);
  cairo_restore(cr);
}

void CGContext::fillRect(CGRect rect, const CGColor& color) {
  fillRoundedRect(rect, 0, color);
}

void CGContext::fillRoundedRect(CGRect rect, double cornerRadius, const CGColor& color) {
  if (color.alpha <= 0 || CGRectIsEmpty(rect)) return;
  cairo_t* cr = impl_->cr;
  cairo_new_path(cr);
  roundedRectPath(cr, rect, cornerRadius);
  setColor(cr, color);
  cairo_fill(cr);
}

void CGContext::strokeRoundedRect(CGRect rect, double cornerRadius, double lineWidth,
                                  const CGColor& color) {
  if (color.alpha <= 0 || lineWidth <= 0 || CGRectIsEmpty(rect)) return;
  cairo_t* cr = impl_->cr;
  cairo_save(cr);
  cairo_new_path(cr);
  roundedRectPath(cr, rect, cornerRadius);
  cairo_clip_preserve(cr);  // inside the edge only: twice the width, half clipped away
  cairo_set_line_width(cr, 2 * lineWidth);
  setColor(cr, color);
  cairo_stroke(cr);
  cairo_restore(cr);
}

void CGContext::strokeLine(CGPoint from, CGPoint to, double lineWidth, const CGColor& color) {
  if (color.alpha <= 0 || lineWidth <= 0) return;
  cairo_t* cr = impl_->cr;
  cairo_new_path(cr);
  cairo_move_to(cr, from.x, from.y);
  cairo_line_to(cr, to.x, to.y);
  cairo_set_line_width(cr, lineWidth);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
  setColor(cr, color);
  cairo_stroke(cr);
}

void CGContext::fillPath(const CGPath& path, const CGColor& color) {
  if (color.alpha <= 0 || path.isEmpty()) return;
  cairo_t* cr = impl_->cr;
  cairo_new_path(cr);
  addPath(cr, path);
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
  setColor(cr, color);
  cairo_fill(cr);
}

void CGContext::strokePath(const CGPath& path, double lineWidth, const CGColor& color,
                           CGLineCap cap, double strokeStart, double strokeEnd) {
  strokeStart = std::clamp(strokeStart, 0.0, 1.0);
  strokeEnd = std::clamp(strokeEnd, 0.0, 1.0);
  if (color.alpha <= 0 || lineWidth <= 0 || path.isEmpty() || strokeEnd <= strokeStart) return;
  cairo_t* cr = impl_->cr;
  cairo_new_path(cr);
  if (strokeStart <= 0 && strokeEnd >= 1) {
    addPath(cr, path);
  } else {
    double length = pathLength(path);
    PathTrimmer(cr, strokeStart * length, strokeEnd * length).run(path);
  }
  cairo_set_line_width(cr, lineWidth);
  cairo_set_line_cap(cr, cap == CGLineCap::Round    ? CAIRO_LINE_CAP_ROUND
                         : cap == CGLineCap::Square ? CAIRO_LINE_CAP_SQUARE
                                                    : CAIRO_LINE_CAP_BUTT);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
  setColor(cr, color);
  cairo_stroke(cr);
}

// --- images and text -------------------------------------------------------------

void CGContext::drawImage(const CGImage& image, CGRect rect, double darken) {
  rect = CGRectStandardize(rect);
  int w = image.pixelWidth(), h = image.pixelHeight();
  if (w <= 0 || h <= 0 || CGRectIsEmpty(rect)) return;
  cairo_t* cr = impl_->cr;
  cairo_save(cr);
  cairo_new_path(cr);
  cairo_rectangle(cr, rect.origin.x, rect.origin.y, rect.size.width, rect.size.height);
  cairo_clip(cr);
  cairo_translate(cr, rect.origin.x, rect.origin.y);
  cairo_scale(cr, rect.size.width / w, rect.size.height / h);
  cairo_set_source_surface(cr, static_cast<cairo_surface_t*>(image.surface_), 0, 0);
  cairo_pattern_t* pattern = cairo_get_source(cr);
  cairo_pattern_set_filter(pattern, CAIRO_FILTER_GOOD);
  // Padding keeps the edges solid when the picture is scaled up.
  cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
  cairo_paint(cr);
  if (darken > 0) {
    cairo_pattern_t* mask = cairo_pattern_reference(pattern);
    cairo_set_source_rgba(cr, 0, 0, 0, std::min(darken, 1.0));
    cairo_mask(cr, mask);
    cairo_pattern_destroy(mask);
  }
  cairo_restore(cr);
}

void CGContext::drawText(const std::string& text, const CGTextStyle& style, CGRect rect) {
  rect = CGRectStandardize(rect);
  if (text.empty() || style.color.alpha <= 0 || style.pointSize <= 0 || CGRectIsEmpty(rect)) return;
  cairo_t* cr = impl_->cr;
  cairo_save(cr);
  cairo_new_path(cr);
  cairo_rectangle(cr, rect.origin.x, rect.origin.y, rect.size.width, rect.size.height);
  cairo_clip(cr);
  PangoLayout* layout = impl_->layoutFor(text, style);
  pango_layout_set_width(layout, static_cast<int>(rect.size.width * PANGO_SCALE));
  pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
  // A negative height counts lines; a positive one fits as many as fit.
  pango_layout_set_height(layout, style.maxLines == 1 ? -1
                                  : style.maxLines > 1
                                      ? -style.maxLines
                                      : static_cast<int>(rect.size.height * PANGO_SCALE));
  PangoRectangle logical;
  pango_layout_get_extents(layout, nullptr, &logical);
  double height = static_cast<double>(logical.height) / PANGO_SCALE;
  double y = rect.origin.y + (rect.size.height - height) / 2;
  cairo_move_to(cr, rect.origin.x, y);
  setColor(cr, style.color);
  pango_cairo_show_layout(cr, layout);
  cairo_restore(cr);
}

void CGContext::prepareText() {
  // Contexts take this thread's default font map; making it is what starts
  // pango's fontconfig set-up thread.
  pango_cairo_font_map_get_default();
}

CGSize CGContext::measureText(const std::string& text, const CGTextStyle& style, double maxWidth) {
  if (text.empty() || style.pointSize <= 0) return CGSizeZero;
  PangoLayout* layout = impl_->layoutFor(text, style);
  pango_layout_set_width(layout, maxWidth > 0 ? static_cast<int>(maxWidth * PANGO_SCALE) : -1);
  pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_NONE);
  pango_layout_set_height(layout, -1);
  PangoRectangle logical;
  pango_layout_get_extents(layout, nullptr, &logical);
  return CGSizeMake(static_cast<double>(logical.width) / PANGO_SCALE,
                    static_cast<double>(logical.height) / PANGO_SCALE);
}

// --- output ------------------------------------------------------------------------

CGColor CGContext::pixelAt(int px, int py) const {
  if (px < 0 || py < 0 || px >= pixelWidth() || py >= pixelHeight()) return {};
  const uint8_t* row = data() + static_cast<ptrdiff_t>(py) * stride();
  uint32_t v;
  std::copy_n(row + static_cast<ptrdiff_t>(px) * 4, 4, reinterpret_cast<uint8_t*>(&v));
  double a = ((v >> 24) & 0xFF) / 255.0;
  if (a <= 0) return {};
  return {((v >> 16) & 0xFF) / 255.0 / a, ((v >> 8) & 0xFF) / 255.0 / a, (v & 0xFF) / 255.0 / a, a};
}

CGColor CGContext::colorAtPoint(CGPoint p) const {
  return pixelAt(static_cast<int>(std::floor(p.x * scale_)),
                 static_cast<int>(std::floor(p.y * scale_)));
}

namespace {
cairo_status_t appendBytes(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}
}  // namespace

bool CGContext::writePNG(const std::string& hostPath) const {
  std::string bytes;
  cairo_surface_flush(impl_->surface);
  if (cairo_surface_write_to_png_stream(impl_->surface, appendBytes, &bytes) !=
      CAIRO_STATUS_SUCCESS)
    return false;
  // Beside the target, then renamed over it: a reader never sees half a
  // picture.
  return ns::writeHostFileAtomically(hostPath, bytes);
}
