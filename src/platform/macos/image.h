#pragma once
// Objective-C++ only. Images drawn with NSBezierPath into an NSImage.

#import <AppKit/AppKit.h>

#include "platform/image.h"

namespace hushpad::macos {

class AppKitImage final : public Image {
 public:
  explicit AppKitImage(NSImage* image) : image_(image) {}
  NSImage* nsImage() const { return image_; }

 private:
  NSImage* image_;
};

// Draws into whatever has drawing focus. Each beginPath starts a new NSBezierPath.
class BezierPathCanvas final : public Canvas {
 public:
  void setStrokeColor(Color color) override;
  void setFillColor(Color color) override;
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
  NSBezierPath* path_ = [NSBezierPath bezierPath];
};

class AppKitImageFactory final : public ImageFactory {
 public:
  std::shared_ptr<Image> makeImage(Size size, bool isTemplate,
                                   const std::function<void(Canvas&)>& draw) override;
};

}  // namespace hushpad::macos
