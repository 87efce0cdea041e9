// Images loaded from PNG files by device path. The model keeps the path and
// the size read from the file's header; a renderer decodes the pixels.
#pragma once

#include <string>

#include "QuartzCore/CGGeometry.h"
#include "objc/runtime.h"

class UIImage : public objc::Object {
  OBJC_CLASS(UIImage)
 public:
  // Null when the file is missing or is not a PNG. A name ending in "@2x"
  // (before the extension) has scale 2, and its size in points is half the
  // pixel size; any other file has scale 1.
  static objc::Ref<UIImage> imageWithContentsOfFile(const std::string& devicePath);

  const std::string& path() const { return path_; }          // device path
  const std::string& hostPath() const { return hostPath_; }  // where the file is read
  CGSize size() const;                                       // points
  int pixelWidth() const { return pixelWidth_; }
  int pixelHeight() const { return pixelHeight_; }
  double scale() const { return scale_; }
  std::string description() const override;

  // Reads width and height from PNG bytes (signature and IHDR chunk); false
  // when they are not a PNG header.
  static bool readPNGSize(const std::string& bytes, int* width, int* height);

 private:
  UIImage() = default;
  std::string path_;
  std::string hostPath_;
  int pixelWidth_ = 0;
  int pixelHeight_ = 0;
  double scale_ = 1;
};
