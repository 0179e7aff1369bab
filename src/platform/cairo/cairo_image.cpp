#include "platform/cairo/cairo_image.h"

#include <cmath>

#include "platform/cairo/cairo_canvas.h"

namespace hushpad {
namespace {

bool isPositiveFinite(double value) { return std::isfinite(value) && value > 0; }

// Whole pixels for a side, or nothing past what Cairo can hold.
std::optional<int> pixelCount(double points, double scale) {
  constexpr double kCairoMaxSide = 32767;
  const double pixels = std::ceil(points * scale);
  if (!isPositiveFinite(pixels) || pixels > kCairoMaxSide) return std::nullopt;
  return static_cast<int>(pixels);
}

}  // namespace

CairoSurface renderImage(Size size, double scale, const std::function<void(Canvas&)>& draw,
                         std::optional<Color> tint) {
  if (!isPositiveFinite(scale) || !isPositiveFinite(size.width) || !isPositiveFinite(size.height)) {
    return nullptr;
  }
  const auto pixelWidth = pixelCount(size.width, scale);
  const auto pixelHeight = pixelCount(size.height, scale);
  if (!pixelWidth || !pixelHeight) return nullptr;
  CairoSurface surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, *pixelWidth, *pixelHeight));
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
  {
    const CairoContext cr(cairo_create(surface.get()));
    CairoCanvas canvas(cr.get(), size.height, scale, tint);
    draw(canvas);
  }
  cairo_surface_flush(surface.get());
  return surface;
}

bool writePng(cairo_surface_t* surface, const std::string& path) {
  return surface != nullptr &&
         cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
}

std::shared_ptr<CairoImage> CairoImageFactory::makeCairoImage(
    Size size, bool isTemplate, const std::function<void(Canvas&)>& draw) {
  CairoSurface pixels =
      renderImage(size, scale_, draw, isTemplate ? std::optional(templateTint_) : std::nullopt);
  if (!pixels) return nullptr;
  return std::make_shared<CairoImage>(size, isTemplate, scale_, std::move(pixels));
}

}  // namespace hushpad
