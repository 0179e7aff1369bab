#include "platform/macos/screens.h"

#import <AppKit/AppKit.h>

#include <algorithm>

namespace hushpad::macos {
namespace {

Rect toRect(NSRect rect) {
  return makeRect(rect.origin.x, rect.origin.y, rect.size.width, rect.size.height);
}

// Fills out with rectOf(screen) for the screens, main screen first, as many as
// fit, and returns how many screens there are. The tap callback may run
// outside any event's autorelease pool.
template <typename RectOf>
std::size_t copyPerScreen(std::span<Rect> out, RectOf rectOf) {
  @autoreleasepool {
    NSArray<NSScreen*>* screens = [NSScreen screens];
    std::size_t copied = 0;
    for (NSScreen* screen in screens) {
      if (copied == out.size()) break;
      out[copied++] = rectOf(screen);
    }
    return screens.count;
  }
}

// The areas' own coordinates are not documented to be global ones, so only
// their sizes are used: the housing spans what they leave of the top edge.
Rect cameraHousing(NSScreen* screen) {
  if (@available(macOS 12.0, *)) {
    const NSRect frame = screen.frame;
    const NSRect left = screen.auxiliaryTopLeftArea;
    const NSRect right = screen.auxiliaryTopRightArea;
    const double gap = NSWidth(frame) - NSWidth(left) - NSWidth(right);
    const double height = std::max(NSHeight(left), NSHeight(right));
    if (!NSIsEmptyRect(left) && !NSIsEmptyRect(right) && gap > 0 && height > 0) {
      return makeRect(NSMinX(frame) + NSWidth(left), NSMaxY(frame) - height, gap, height);
    }
  }
  return kNullRect;
}

}  // namespace

std::size_t AppKitScreens::copyFrames(std::span<Rect> out) const {
  return copyPerScreen(out, [](NSScreen* screen) { return toRect(screen.frame); });
}

std::size_t AppKitScreens::copyCameraHousings(std::span<Rect> out) const {
  return copyPerScreen(out, cameraHousing);
}

std::optional<Point> AppKitScreens::pointerLocation() const {
  const NSPoint location = [NSEvent mouseLocation];
  return Point{location.x, location.y};
}

AppKitScreens::~AppKitScreens() { setChangeHandler(nullptr); }

// One observer while there is a handler; the token is released with it.
void AppKitScreens::setChangeHandler(std::function<void()> changed) {
  changed_ = std::move(changed);
  if (changed_ && observer_ == nullptr) {
    id<NSObject> token = [[NSNotificationCenter defaultCenter]
        addObserverForName:NSApplicationDidChangeScreenParametersNotification
                    object:nil
                     queue:[NSOperationQueue mainQueue]
                usingBlock:^(NSNotification*) {
                  if (changed_) changed_();
                }];
    observer_ = (__bridge_retained void*)token;
  } else if (!changed_ && observer_ != nullptr) {
    id<NSObject> token = (__bridge_transfer id<NSObject>)observer_;
    observer_ = nullptr;
    [[NSNotificationCenter defaultCenter] removeObserver:token];
  }
}

}  // namespace hushpad::macos
