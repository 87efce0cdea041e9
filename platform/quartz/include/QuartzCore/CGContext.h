// A drawing context over an image in memory: what the renderer paints the
// layer tree into, and what screenshots and the window show.
//
// Coordinates are points with y growing downwards; the image holds `scale`
// pixels per point. Colours are straight (not premultiplied) RGBA. Text is
// set with pango and takes its face from fontconfig by family name.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "QuartzCore/CGColor.h"
#include "QuartzCore/CGGeometry.h"
#include "QuartzCore/CGPath.h"

// A decoded bitmap (PNG), shared by everything that draws it.
class CGImage {
 public:
  // The pixel size a PNG file's first 24 bytes declare (signature, then the
  // IHDR chunk); false for anything else or a zero or oversized dimension.
  static bool readPNGSize(std::string_view header, int* width, int* height);
  // The same, read from the start of a host file.
  static bool readPNGFileSize(const std::string& hostPath, int* width, int* height);

  ~CGImage();
  CGImage(const CGImage&) = delete;
  CGImage& operator=(const CGImage&) = delete;

  // Null when the file cannot be read or decoded, or when the picture is
  // larger than kMaxPixels (a bogus header must not make us allocate
  // gigabytes).
  static std::shared_ptr<CGImage> loadPNG(const std::string& hostPath);
  static constexpr int64_t kMaxPixels = 4096LL * 4096LL;

  int pixelWidth() const;
  int pixelHeight() const;

 private:
  friend class CGContext;
  explicit CGImage(void* surface) : surface_(surface) {}
  void* surface_;  // cairo_surface_t
};

enum class CGTextAlignment { Left, Center, Right };

// How a piece of text is set.
struct CGTextStyle {
  // A fontconfig family ("Nimbus Sans"); the caller maps platform names.
  std::string family = "Nimbus Sans";
  bool bold = false;
  double pointSize = 17;
  CGColor color{0, 0, 0, 1};
  CGTextAlignment alignment = CGTextAlignment::Left;
  // 1: one line cut at the tail with an ellipsis (labels and fields).
  // 0: as many wrapped lines as fit the rectangle's height.
  int maxLines = 1;
};

enum class CGLineCap { Butt, Round, Square };

class CGContext {
 public:
  // A transparent image of width x height points at scale pixels a point
  // (sizes are rounded up to whole pixels).
  CGContext(double width, double height, double scale);
  ~CGContext();
  CGContext(const CGContext&) = delete;
  CGContext& operator=(const CGContext&) = delete;

  double scale() const { return scale_; }
  int pixelWidth() const;
  int pixelHeight() const;
  // The pixels, premultiplied ARGB in native 32-bit words, rows stride
  // bytes apart (what a window texture takes as is).
  const uint8_t* data() const;
  int stride() const;

  // --- state ----------------------------------------------------------------
  void saveGState();
  void restoreGState();
  void translate(double dx, double dy);
  void clipToRect(CGRect rect);
  void clipToRoundedRect(CGRect rect, double cornerRadius);
  // Drawing between begin and end is composited as one picture with the
  // given alpha (a view's alpha applies to it and its subviews together).
  void beginTransparencyLayer();
  void endTransparencyLayer(double alpha);

  // --- shapes ---------------------------------------------------------------
  // Everything (inside the clip) becomes colour, replacing what was there.
  void clear(const CGColor& color);
  void fillRect(CGRect rect, const CGColor& color);
  void fillRoundedRect(CGRect rect, double cornerRadius, const CGColor& color);
  // A border drawn inside the rectangle's edge.
  void strokeRoundedRect(CGRect rect, double cornerRadius, double lineWidth, const CGColor& color);
  void strokeLine(CGPoint from, CGPoint to, double lineWidth, const CGColor& color);
  void fillPath(const CGPath& path, const CGColor& color);
  // Strokes the part of the path from strokeStart to strokeEnd (fractions
  // of its length, as a shape layer's are).
  void strokePath(const CGPath& path, double lineWidth, const CGColor& color,
                  CGLineCap cap = CGLineCap::Butt, double strokeStart = 0, double strokeEnd = 1);

  // --- images and text ------------------------------------------------------
  // Scales the whole image into rect; darken (0 to 1) shades it towards
  // black where it is opaque, as a pressed button's picture is.
  void drawImage(const CGImage& image, CGRect rect, double darken = 0);
  // Sets text inside rect, centred vertically, clipped to rect.
  void drawText(const std::string& text, const CGTextStyle& style, CGRect rect);
  // Size of the text set on one line (maxWidth <= 0) or wrapped at maxWidth.
  CGSize measureText(const std::string& text, const CGTextStyle& style, double maxWidth = 0);
  // Starts setting up the fonts of this thread's text ahead of its first
  // use: fontconfig reads its configuration and caches (several
  // milliseconds) on a thread of pango's while this one gets on with other
  // work. Drawing does not depend on it; it is only sooner ready.
  static void prepareText();

  // --- output ---------------------------------------------------------------
  // Straight RGBA of the pixel (px, py); transparent outside the image.
  CGColor pixelAt(int px, int py) const;
  // The pixel under a point.
  CGColor colorAtPoint(CGPoint p) const;
  // Writes the image as PNG to a host path; false on failure.
  bool writePNG(const std::string& hostPath) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  double scale_;
};
