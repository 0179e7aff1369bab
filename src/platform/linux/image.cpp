#include "platform/linux/image.h"

#include <algorithm>
#include <cmath>

#include "platform/cairo/cairo_canvas.h"

namespace hushpad::linux {

RecordedImage::RecordedImage(Size size, bool isTemplate, CairoSurface recording)
    : size_(size), isTemplate_(isTemplate), recording_(std::move(recording)) {}

GdkPixbuf* RecordedImage::render(int pixelSize, const GdkRGBA& templateColor) const {
  if (pixelSize <= 0) return nullptr;
  const CairoSurface pixels(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pixelSize, pixelSize));
  {
    const CairoContext cr(cairo_create(pixels.get()));
    const double scale = pixelSize / std::max(size_.width, size_.height);
    cairo_translate(cr.get(), (pixelSize - size_.width * scale) / 2,
                    (pixelSize - size_.height * scale) / 2);
    cairo_scale(cr.get(), scale, scale);
    if (isTemplate_) {
      gdk_cairo_set_source_rgba(cr.get(), &templateColor);
      cairo_mask_surface(cr.get(), recording_.get(), 0, 0);
    } else {
      cairo_set_source_surface(cr.get(), recording_.get(), 0, 0);
      cairo_paint(cr.get());
    }
  }
  return gdk_pixbuf_get_from_surface(pixels.get(), 0, 0, pixelSize, pixelSize);
}

std::shared_ptr<Image> RecordingImageFactory::makeImage(Size size, bool isTemplate,
                                                        const std::function<void(Canvas&)>& draw) {
  const bool drawable =
      std::isfinite(size.width) && std::isfinite(size.height) && size.width > 0 && size.height > 0;
  if (!drawable) return nullptr;
  const cairo_rectangle_t extents{0, 0, size.width, size.height};
  CairoSurface recording(cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, &extents));
  {
    const CairoContext cr(cairo_create(recording.get()));
    CairoCanvas canvas(cr.get(), size.height, 1);
    draw(canvas);
  }
  return std::make_shared<RecordedImage>(size, isTemplate, std::move(recording));
}

GdkRGBA templateColorFor(const std::optional<GdkRGBA>& trayForeground,
                         const GdkRGBA& themeForeground) {
  constexpr GdkRGBA kTrayDefault{0, 0, 0, 1};
  if (trayForeground && !gdk_rgba_equal(&*trayForeground, &kTrayDefault)) return *trayForeground;
  return themeForeground;
}

Color toColor(const GdkRGBA& rgba) { return {rgba.red, rgba.green, rgba.blue, rgba.alpha}; }

GdkRGBA toGdkRGBA(const Color& color) {
  return {color.red, color.green, color.blue, color.alpha};
}

}  // namespace hushpad::linux
