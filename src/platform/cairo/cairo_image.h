#pragma once
// Rasterising images with Cairo: owners of Cairo objects, an image that holds
// its pixels, and the factory that draws them.

#include <cairo.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/image.h"

namespace hushpad {

struct CairoSurfaceDeleter {
  void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
struct CairoContextDeleter {
  void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};
using CairoSurface = std::unique_ptr<cairo_surface_t, CairoSurfaceDeleter>;
using CairoContext = std::unique_ptr<cairo_t, CairoContextDeleter>;

// A transparent ARGB32 surface for an image of size points at scale pixels per
// point (each side rounded up to whole pixels), drawn once by draw; see
// CairoCanvas for tint. Nothing when the sizes are not positive and finite or
// Cairo cannot make a surface that large.
CairoSurface renderImage(Size size, double scale, const std::function<void(Canvas&)>& draw,
                         std::optional<Color> tint = std::nullopt);

// Writes the surface as a PNG file; false when it could not be written.
bool writePng(cairo_surface_t* surface, const std::string& path);

class CairoImage final : public Image {
 public:
  CairoImage(Size size, bool isTemplate, double scale, CairoSurface pixels)
      : size_(size), isTemplate_(isTemplate), scale_(scale), pixels_(std::move(pixels)) {}

  Size size() const { return size_; }
  bool isTemplate() const { return isTemplate_; }
  double scale() const { return scale_; }
  cairo_surface_t* surface() const { return pixels_.get(); }

 private:
  Size size_;
  bool isTemplate_;
  double scale_;
  CairoSurface pixels_;
};

// Makes CairoImages at one scale. Template images are drawn in the tint, black
// unless given.
class CairoImageFactory final : public ImageFactory {
 public:
  explicit CairoImageFactory(double scale, Color templateTint = kBlack)
      : scale_(scale), templateTint_(templateTint) {}

  // Nothing when renderImage gives no surface.
  std::shared_ptr<CairoImage> makeCairoImage(Size size, bool isTemplate,
                                             const std::function<void(Canvas&)>& draw);
  std::shared_ptr<Image> makeImage(Size size, bool isTemplate,
                                   const std::function<void(Canvas&)>& draw) override {
    return makeCairoImage(size, isTemplate, draw);
  }

 private:
  double scale_;
  Color templateTint_;
};

}  // namespace hushpad
