#pragma once
// Vector drawing into images, and the images themselves. Main thread only;
// images are shared, the canvas lives only while its draw function runs.

#include <functional>
#include <memory>

#include "geometry.h"

namespace hushpad {

struct Color {
  double red = 0, green = 0, blue = 0, alpha = 1;
  friend constexpr bool operator==(const Color&, const Color&) = default;
};
inline constexpr Color kBlack{0, 0, 0, 1};

// A drawing destination with the image's coordinates: points, origin lower
// left, y upward. One current path at a time.
class Canvas {
 public:
  virtual ~Canvas() = default;
  virtual void setStrokeColor(Color color) = 0;
  virtual void setFillColor(Color color) = 0;
  virtual void beginPath() = 0;  // a new, empty current path
  virtual void setLineWidth(double width) = 0;
  virtual void setRoundCapsAndJoins() = 0;
  virtual void moveTo(Point p) = 0;
  virtual void lineTo(Point p) = 0;
  // Cubic Bezier from the current point; c1 belongs to the start, c2 to the end.
  virtual void curveTo(Point end, Point c1, Point c2) = 0;
  // Adds the ellipse inscribed in rect as a closed subpath.
  virtual void addOval(Rect rect) = 0;
  virtual void strokePath() = 0;
  virtual void fillPath() = 0;
};

// An opaque platform image. Template images use only their coverage; the
// system colours them to suit the place they are shown in.
class Image {
 public:
  virtual ~Image() = default;
};

class ImageFactory {
 public:
  virtual ~ImageFactory() = default;
  // A new transparent image of size points, drawn once by draw.
  virtual std::shared_ptr<Image> makeImage(Size size, bool isTemplate,
                                           const std::function<void(Canvas&)>& draw) = 0;
};

}  // namespace hushpad
