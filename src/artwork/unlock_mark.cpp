#include "artwork/unlock_mark.h"

#include <algorithm>

#include "artwork/toolbar_mark.h"

namespace hushpad {
namespace {

// How far a quarter circle's control points lie along its tangents, per radius.
constexpr double kQuarterCircle = 0.5523;
// Corner radius and rim width as shares of the plate's side.
constexpr double kCornerShare = 0.25;
constexpr double kRimShare = 0.05;

void addRoundedRect(Canvas& canvas, Rect r, double radius) {
  const double x0 = minX(r), y0 = minY(r), x1 = maxX(r), y1 = maxY(r);
  const double k = radius * (1 - kQuarterCircle);
  canvas.moveTo({x0 + radius, y0});
  canvas.lineTo({x1 - radius, y0});
  canvas.curveTo({x1, y0 + radius}, {x1 - k, y0}, {x1, y0 + k});
  canvas.lineTo({x1, y1 - radius});
  canvas.curveTo({x1 - radius, y1}, {x1, y1 - k}, {x1 - k, y1});
  canvas.lineTo({x0 + radius, y1});
  canvas.curveTo({x0, y1 - radius}, {x0 + k, y1}, {x0, y1 - k});
  canvas.lineTo({x0, y0 + radius});
  canvas.curveTo({x0 + radius, y0}, {x0, y0 + k}, {x0 + k, y0});
}

}  // namespace

void drawUnlockMark(Canvas& canvas, Rect rect) {
  const double side = std::min(width(rect), height(rect));
  const double rim = side * kRimShare;
  canvas.setFillColor(kUnlockMarkPlate);
  canvas.beginPath();
  addRoundedRect(canvas, rect, side * kCornerShare);
  canvas.fillPath();
  // The rim lies wholly inside the plate, so the window's edge cuts nothing.
  canvas.setStrokeColor(kUnlockMarkRim);
  canvas.beginPath();
  canvas.setLineWidth(rim);
  addRoundedRect(canvas, insetBy(rect, rim / 2, rim / 2), side * kCornerShare - rim / 2);
  canvas.strokePath();
  // The mark sits in the plate as it sits in the status item's image.
  const double scale = side / kToolbarImageSize.width;
  const Rect markRect = makeRect(minX(rect) + minX(kToolbarMarkRect) * scale,
                                 minY(rect) + minY(kToolbarMarkRect) * scale,
                                 width(kToolbarMarkRect) * scale, height(kToolbarMarkRect) * scale);
  drawToolbarMark(canvas, markRect, kToolbarLineWidth * scale, /*locked=*/true, kUnlockMarkInk);
}

std::shared_ptr<Image> makeUnlockMarkImage(ImageFactory& images) {
  return images.makeImage(kToolbarImageSize, /*isTemplate=*/false, [](Canvas& canvas) {
    drawUnlockMark(canvas, Rect{{0, 0}, kToolbarImageSize});
  });
}

}  // namespace hushpad
