#pragma once
// A Canvas that draws with Cairo, whose y axis runs downward.

#include <cairo.h>

#include <optional>

#include "platform/image.h"

namespace hushpad {

class CairoCanvas final : public Canvas {
 public:
  // Draws on cr an image imageHeight points tall at scale device units per
  // point: a point (x, y) of the image lands at (x, imageHeight - y) before
  // scaling. With a tint, every colour is painted as the tint, its alpha times
  // the colour's: that is how a template image is shown. The state of cr is
  // saved here and restored when the canvas goes away, with no path left
  // behind. Stroking and filling keep the current path, as in AppKit.
  CairoCanvas(cairo_t* cr, double imageHeight, double scale,
              std::optional<Color> tint = std::nullopt);
  ~CairoCanvas() override;
  CairoCanvas(const CairoCanvas&) = delete;
  CairoCanvas& operator=(const CairoCanvas&) = delete;

  void setStrokeColor(Color color) override { strokeColor_ = color; }
  void setFillColor(Color color) override { fillColor_ = color; }
  void beginPath() override;
  void setLineWidth(double width) override;
  void setRoundCapsAndJoins() override;
  void moveTo(Point p) override;
  void lineTo(Point p) override;
  void curveTo(Point end, Point c1, Point c2) override;
  void addOval(Rect rect) override;
  void strokePath() override;
  void fillPath() override;

 private:
  void setSource(Color color);

  cairo_t* cr_;
  std::optional<Color> tint_;
  Color strokeColor_ = kBlack;
  Color fillColor_ = kBlack;
};

}  // namespace hushpad
