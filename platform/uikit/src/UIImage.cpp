#include "UIKit/UIImage.h"

#include <cstdio>

#include "Foundation/FileSystem.h"

OBJC_CLASS_IMPL(UIImage, objc::Object, nullptr)

bool UIImage::readPNGSize(const std::string& bytes, int* width, int* height) {
  static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  // Signature, then the IHDR chunk: length 13, type, width, height (big endian).
  if (bytes.size() < 24) return false;
  for (int i = 0; i < 8; ++i)
    if (static_cast<unsigned char>(bytes[static_cast<size_t>(i)]) != kSignature[i]) return false;
  if (bytes.compare(12, 4, "IHDR") != 0) return false;
  auto be32 = [&](size_t at) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
    return v;
  };
  uint32_t w = be32(16), h = be32(20);
  // The format allows up to 2^31 - 1; zero is invalid.
  if (w == 0 || h == 0 || w > 0x7FFFFFFF || h > 0x7FFFFFFF) return false;
  *width = static_cast<int>(w);
  *height = static_cast<int>(h);
  return true;
}

objc::Ref<UIImage> UIImage::imageWithContentsOfFile(const std::string& devicePath) {
  // Only the header is needed for the model; a renderer reads the rest.
  auto bytes = ns::readFileAtPath(devicePath);
  if (!bytes) return nullptr;
  int w = 0, h = 0;
  if (!readPNGSize(*bytes, &w, &h)) return nullptr;
  auto image = objc::Ref<UIImage>::adopt(new UIImage);
  image->path_ = devicePath;
  image->hostPath_ = ns::hostPath(devicePath);
  image->pixelWidth_ = w;
  image->pixelHeight_ = h;
  std::string name = devicePath.substr(devicePath.find_last_of('/') + 1);
  std::string stem = name.substr(0, name.find_last_of('.'));
  if (stem.size() >= 3 && stem.compare(stem.size() - 3, 3, "@2x") == 0) image->scale_ = 2;
  if (stem.size() >= 3 && stem.compare(stem.size() - 3, 3, "@3x") == 0) image->scale_ = 3;
  return image;
}

CGSize UIImage::size() const {
  return CGSizeMake(pixelWidth_ / scale_, pixelHeight_ / scale_);
}

std::string UIImage::description() const {
  char buf[64];
  std::snprintf(buf, sizeof buf, " {%d, %d}", pixelWidth_, pixelHeight_);
  return "<UIImage " + path_ + buf + ">";
}
