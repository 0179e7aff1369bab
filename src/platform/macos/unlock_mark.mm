#include "platform/macos/unlock_mark.h"

#include "platform/macos/image.h"
#include "platform/macos/ns_string.h"

namespace hushpad::macos {

NSPanel* AppKitUnlockMark::panel() {
  if (panel_ != nil) return panel_;
  panel_ = [[NSPanel alloc]
      initWithContentRect:NSMakeRect(0, 0, 22, 22)
                styleMask:NSWindowStyleMaskBorderless | NSWindowStyleMaskNonactivatingPanel
                  backing:NSBackingStoreBuffered
                    defer:YES];
  panel_.level = NSStatusWindowLevel + 1;
  panel_.collectionBehavior = NSWindowCollectionBehaviorCanJoinAllSpaces |
                              NSWindowCollectionBehaviorStationary |
                              NSWindowCollectionBehaviorFullScreenAuxiliary |
                              NSWindowCollectionBehaviorIgnoresCycle;
  panel_.opaque = NO;
  panel_.backgroundColor = [NSColor clearColor];
  panel_.hasShadow = NO;
  panel_.hidesOnDeactivate = NO;
  panel_.releasedWhenClosed = NO;
  panel_.becomesKeyOnlyIfNeeded = YES;
  imageView_ = [[NSImageView alloc] initWithFrame:NSMakeRect(0, 0, 22, 22)];
  imageView_.imageScaling = NSImageScaleProportionallyUpOrDown;
  imageView_.autoresizingMask = NSViewWidthSizable | NSViewHeightSizable;
  panel_.contentView = imageView_;
  return panel_;
}

bool AppKitUnlockMark::show(Rect frame, const UnlockMarkContent& content) {
  const auto* image = dynamic_cast<const AppKitImage*>(content.image.get());
  if (image == nullptr) {
    hide();
    return false;
  }
  NSPanel* window = panel();
  window.title = toDisplayString(content.title);
  imageView_.image = image->nsImage();
  imageView_.toolTip = toDisplayString(content.toolTip);
  imageView_.accessibilityLabel = toDisplayString(content.accessibilityLabel);
  [window setFrame:NSMakeRect(minX(frame), minY(frame), width(frame), height(frame)) display:YES];
  [window orderFrontRegardless];
  return window.isVisible;
}

void AppKitUnlockMark::hide() { [panel_ orderOut:nil]; }

std::optional<Rect> AppKitUnlockMark::frame() const {
  if (panel_ == nil || !panel_.isVisible) return std::nullopt;
  const NSRect frame = panel_.frame;
  return makeRect(frame.origin.x, frame.origin.y, frame.size.width, frame.size.height);
}

}  // namespace hushpad::macos
