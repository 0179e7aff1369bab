#include "platform/macos/image.h"

namespace hushpad::macos {
namespace {

NSColor* toNSColor(Color color) {
  return [NSColor colorWithSRGBRed:color.red green:color.green blue:color.blue alpha:color.alpha];
}

NSPoint toNSPoint(Point p) { return NSMakePoint(p.x, p.y); }

}  // namespace

void BezierPathCanvas::setStrokeColor(Color color) { [toNSColor(color) setStroke]; }

void BezierPathCanvas::setFillColor(Color color) { [toNSColor(color) setFill]; }

void BezierPathCanvas::beginPath() { path_ = [NSBezierPath bezierPath]; }

void BezierPathCanvas::setLineWidth(double width) { [path_ setLineWidth:width]; }

void BezierPathCanvas::setRoundCapsAndJoins() {
  [path_ setLineCapStyle:NSLineCapStyleRound];
  [path_ setLineJoinStyle:NSLineJoinStyleRound];
}

void BezierPathCanvas::moveTo(Point p) { [path_ moveToPoint:toNSPoint(p)]; }

void BezierPathCanvas::lineTo(Point p) { [path_ lineToPoint:toNSPoint(p)]; }

void BezierPathCanvas::curveTo(Point end, Point c1, Point c2) {
  [path_ curveToPoint:toNSPoint(end) controlPoint1:toNSPoint(c1) controlPoint2:toNSPoint(c2)];
}

void BezierPathCanvas::addOval(Rect rect) {
  [path_ appendBezierPathWithOvalInRect:NSMakeRect(rect.origin.x, rect.origin.y, rect.size.width,
                                                   rect.size.height)];
}

void BezierPathCanvas::strokePath() { [path_ stroke]; }

void BezierPathCanvas::fillPath() { [path_ fill]; }

std::shared_ptr<Image> AppKitImageFactory::makeImage(Size size, bool isTemplate,
                                                     const std::function<void(Canvas&)>& draw) {
  NSImage* image = [[NSImage alloc] initWithSize:NSMakeSize(size.width, size.height)];
  [image lockFocus];
  BezierPathCanvas canvas;
  draw(canvas);
  [image unlockFocus];
  [image setTemplate:isTemplate];
  return std::make_shared<AppKitImage>(image);
}

}  // namespace hushpad::macos
