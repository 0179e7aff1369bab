#pragma once
// Objective-C++ only. The unlock mark on macOS: a borderless, non-activating
// panel a level above the status bar, on every Space and beside full-screen
// apps, out of the window cycle. Main thread only.

#import <AppKit/AppKit.h>

#include "platform/unlock_mark.h"

namespace hushpad::macos {

class AppKitUnlockMark final : public UnlockMarkWindow {
 public:
  AppKitUnlockMark() = default;
  AppKitUnlockMark(const AppKitUnlockMark&) = delete;
  AppKitUnlockMark& operator=(const AppKitUnlockMark&) = delete;

  [[nodiscard]] bool show(Rect frame, const UnlockMarkContent& content) override;
  void hide() override;
  // The panel's frame in global coordinates as they are now.
  std::optional<Rect> frame() const override;

 private:
  NSPanel* panel();  // made on first use

  NSPanel* panel_ = nil;
  NSImageView* imageView_ = nil;
};

}  // namespace hushpad::macos
