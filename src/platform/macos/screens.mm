#include "platform/macos/screens.h"

#import <AppKit/AppKit.h>

#include <algorithm>

namespace hushpad::macos {
namespace {

Rect toRect(NSRect rect) {
  return makeRect(rect.origin.x, rect.origin.y, rect.size.width, rect.size.height);
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

// The observer is there from the start: the snapshot must follow every change,
// whoever listens.
AppKitScreens::AppKitScreens() {
  refresh();
  id<NSObject> token = [[NSNotificationCenter defaultCenter]
      addObserverForName:NSApplicationDidChangeScreenParametersNotification
                  object:nil
                   queue:[NSOperationQueue mainQueue]
              usingBlock:^(NSNotification*) {
                refresh();
                if (changed_) changed_();
              }];
  observer_ = (__bridge_retained void*)token;
}

AppKitScreens::~AppKitScreens() {
  id<NSObject> token = (__bridge_transfer id<NSObject>)observer_;
  observer_ = nullptr;
  [[NSNotificationCenter defaultCenter] removeObserver:token];
}

std::size_t AppKitScreens::copyFrames(std::span<Rect> out) const {
  return snapshot_.copyFrames(out);
}

std::size_t AppKitScreens::copyCameraHousings(std::span<Rect> out) const {
  return snapshot_.copyCameraHousings(out);
}

// Main screen (the one with the menu bar) first, as NSScreen lists them.
void AppKitScreens::refresh() {
  @autoreleasepool {
    ScreenSnapshot read;
    for (NSScreen* screen in [NSScreen screens]) {
      read.add(toRect(screen.frame), cameraHousing(screen));
    }
    snapshot_ = read;
  }
}

std::optional<Point> AppKitScreens::pointerLocation() const {
  const NSPoint location = [NSEvent mouseLocation];
  return Point{location.x, location.y};
}

}  // namespace hushpad::macos
