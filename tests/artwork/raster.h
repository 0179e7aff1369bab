#pragma once
// Reads back what Cairo drew: coverage (alpha) per pixel, addressed in the
// image's points with y upward.

#include <cairo.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <utility>

#include "platform/cairo/cairo_image.h"

namespace hushpad::testing {

class Raster {
 public:
  Raster(Size size, double scale, const std::function<void(Canvas&)>& draw,
         std::optional<Color> tint = std::nullopt)
      : size_(size), scale_(scale), surface_(renderImage(size, scale, draw, tint)) {}
  // Takes over a surface that holds an image of size points at scale.
  Raster(CairoSurface surface, Size size, double scale)
      : size_(size), scale_(scale), surface_(std::move(surface)) {}
  // The pixels of an image made by a CairoImageFactory.
  explicit Raster(const CairoImage& image)
      : Raster(CairoSurface(cairo_surface_reference(image.surface())), image.size(),
               image.scale()) {}

  bool valid() const { return surface_ != nullptr; }
  int width() const { return cairo_image_surface_get_width(surface_.get()); }
  int height() const { return cairo_image_surface_get_height(surface_.get()); }
  double scale() const { return scale_; }

  // Premultiplied ARGB of pixel (column, row), row 0 at the top.
  std::uint32_t pixel(int column, int row) const {
    const unsigned char* data = cairo_image_surface_get_data(surface_.get());
    const int stride = cairo_image_surface_get_stride(surface_.get());
    std::uint32_t value = 0;
    std::memcpy(&value, data + static_cast<std::ptrdiff_t>(row) * stride + 4 * column,
                sizeof value);
    return value;
  }
  int alpha(int column, int row) const { return static_cast<int>(pixel(column, row) >> 24); }

  // The pixel's area in points, y upward.
  Rect area(int column, int row) const {
    return makeRect(column / scale_, size_.height - (row + 1) / scale_, 1 / scale_, 1 / scale_);
  }
  Point centre(int column, int row) const {
    const Rect a = area(column, row);
    return {a.origin.x + a.size.width / 2, a.origin.y + a.size.height / 2};
  }
  // Coverage at a point of the image.
  int alphaAt(Point p) const {
    return alpha(static_cast<int>(p.x * scale_), static_cast<int>((size_.height - p.y) * scale_));
  }

  // Calls visit(column, row) for every pixel.
  void forEachPixel(const std::function<void(int, int)>& visit) const {
    for (int row = 0; row < height(); ++row) {
      for (int column = 0; column < width(); ++column) visit(column, row);
    }
  }

 private:
  Size size_;
  double scale_;
  CairoSurface surface_;
};

}  // namespace hushpad::testing
