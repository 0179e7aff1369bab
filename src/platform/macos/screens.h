#pragma once
// The connected screens' frames from NSScreen. Main thread only.

#include "platform/screen_snapshot.h"
#include "platform/screens.h"

namespace hushpad::macos {

// NSScreen's list is built afresh, with autoreleased objects and the window
// server asked, each time it is read: it is read at refresh() and at each
// screen change only, and the event tap is answered from what was read.
class AppKitScreens final : public Screens {
 public:
  // Reads the screens and watches for their changes until destroyed.
  AppKitScreens();
  ~AppKitScreens() override;
  AppKitScreens(const AppKitScreens&) = delete;
  AppKitScreens& operator=(const AppKitScreens&) = delete;

  std::size_t copyFrames(std::span<Rect> out) const override;
  // The gap between a screen's auxiliary top-left and top-right areas (macOS 12
  // and later, screens with a camera housing).
  std::size_t copyCameraHousings(std::span<Rect> out) const override;
  // NSEvent's mouse location.
  std::optional<Point> pointerLocation() const override;
  void refresh() override;
  // On NSApplicationDidChangeScreenParametersNotification, after the screens
  // are read again.
  void setChangeHandler(std::function<void()> changed) override { changed_ = std::move(changed); }

 private:
  ScreenSnapshot snapshot_;
  std::function<void()> changed_;
  void* observer_ = nullptr;  // the notification centre's token, retained
};

}  // namespace hushpad::macos
