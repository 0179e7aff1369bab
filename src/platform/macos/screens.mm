#include "platform/macos/screens.h"

#import <AppKit/AppKit.h>

#include <algorithm>

namespace hushpad::macos {

std::size_t AppKitScreens::copyFrames(std::span<Rect> out) const {
  // The tap callback may run outside any event's autorelease pool.
  @autoreleasepool {
    NSArray<NSScreen*>* screens = [NSScreen screens];
    std::size_t copied = 0;
    for (NSScreen* screen in screens) {
      if (copied == out.size()) break;
      const NSRect frame = screen.frame;
      out[copied++] = makeRect(frame.origin.x, frame.origin.y, frame.size.width, frame.size.height);
    }
    return screens.count;
  }
}

// The areas' own coordinates are not documented to be global ones, so only
// their sizes are used: the housing spans what they leave of the top edge.
std::size_t AppKitScreens::copyCameraHousings(std::span<Rect> out) const {
  @autoreleasepool {
    NSArray<NSScreen*>* screens = [NSScreen screens];
    std::size_t copied = 0;
    for (NSScreen* screen in screens) {
      if (copied == out.size()) break;
      Rect housing = kNullRect;
      if (@available(macOS 12.0, *)) {
        const NSRect frame = screen.frame;
        const NSRect left = screen.auxiliaryTopLeftArea;
        const NSRect right = screen.auxiliaryTopRightArea;
        const double gap = NSWidth(frame) - NSWidth(left) - NSWidth(right);
        const double height = std::max(NSHeight(left), NSHeight(right));
        if (!NSIsEmptyRect(left) && !NSIsEmptyRect(right) && gap > 0 && height > 0) {
          housing = makeRect(NSMinX(frame) + NSWidth(left), NSMaxY(frame) - height, gap, height);
        }
      }
      out[copied++] = housing;
    }
    return screens.count;
  }
}

}  // namespace hushpad::macos
