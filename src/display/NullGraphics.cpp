#include "display/NullGraphics.h"

#include <algorithm>

namespace kessaro {

TNullImage::TNullImage(int width, int height) {
  SetSize(width, height);
}

void TNullImage::SetSize(int width, int height) {
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
}

TPixels TNullImage::GetPixels() const {
  return TPixels(width_, height_);
}

void TNullImage::SetPixels(const TPixels& pixels) {
  SetSize(pixels.Width, pixels.Height);
}

std::unique_ptr<TImage> TNullGraphics::CreateImage(int width, int height) {
  return std::make_unique<TNullImage>(width, height);
}

std::unique_ptr<TImage> TNullGraphics::LoadPicture(const std::string&) {
  return nullptr;
}

}  // namespace kessaro
