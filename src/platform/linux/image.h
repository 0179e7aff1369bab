#pragma once
// Images for the tray: the drawing is recorded once as vectors and rendered
// afresh at whatever pixel size the tray asks for, template images in the
// colour of the panel they sit on.

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gdk/gdk.h>

#include <functional>
#include <memory>
#include <optional>
#include <span>

#include "platform/cairo/cairo_image.h"
#include "platform/image.h"

namespace hushpad::linux {

class RecordedImage final : public Image {
 public:
  RecordedImage(Size size, bool isTemplate, CairoSurface recording);

  Size size() const { return size_; }
  bool isTemplate() const { return isTemplate_; }
  // A new pixbuf of pixelSize x pixelSize with the image fitted and centred in
  // it; a template image uses only its coverage, filled with templateColor.
  // Nothing when the size is not positive.
  GdkPixbuf* render(int pixelSize, const GdkRGBA& templateColor) const;

 private:
  Size size_;
  bool isTemplate_;
  CairoSurface recording_;
};

class RecordingImageFactory final : public ImageFactory {
 public:
  // Nothing when the size is not positive and finite.
  std::shared_ptr<Image> makeImage(Size size, bool isTemplate,
                                   const std::function<void(Canvas&)>& draw) override;
};

// The colour a template image takes in the tray: the tray's own foreground
// colour when it announces one (anything but its opaque black default), else
// the theme's.
GdkRGBA templateColorFor(const std::optional<GdkRGBA>& trayForeground,
                         const GdkRGBA& themeForeground);

// Chooses the colour of a template mark from the panel's colour behind it (if
// known) and the colours the tray and the theme would give it, in that order.
using MarkColorRule =
    std::function<Color(std::optional<Color> panel, std::span<const Color> preferred)>;

Color toColor(const GdkRGBA& rgba);
GdkRGBA toGdkRGBA(const Color& color);

}  // namespace hushpad::linux
