#include "platform/macos/screens.h"

#import <AppKit/AppKit.h>

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

}  // namespace hushpad::macos
