#include "UIKit/UIImage.h"

#include <cstdio>

#include "Foundation/FileSystem.h"
#include "QuartzCore/CGContext.h"

OBJC_CLASS_IMPL(UIImage, objc::Object, nullptr)

bool UIImage::readPNGSize(const std::string& bytes, int* width, int* height) {
  return CGImage::readPNGSize(bytes, width, height);
}

objc::Ref<UIImage> UIImage::imageWithContentsOfFile(const std::string& devicePath) {
  // Only the header is needed for the model; a renderer reads the rest.
  int w = 0, h = 0;
  if (!CGImage::readPNGFileSize(ns::hostPath(devicePath), &w, &h)) return nullptr;
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
