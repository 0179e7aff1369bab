#pragma once
// The connected screens' frames from NSScreen. Main thread only.

#include "platform/screens.h"

namespace hushpad::macos {

class AppKitScreens final : public Screens {
 public:
  AppKitScreens() = default;
  ~AppKitScreens() override;
  AppKitScreens(const AppKitScreens&) = delete;
  AppKitScreens& operator=(const AppKitScreens&) = delete;

  std::size_t copyFrames(std::span<Rect> out) const override;
  // The gap between a screen's auxiliary top-left and top-right areas (macOS 12
  // and later, screens with a camera housing).
  std::size_t copyCameraHousings(std::span<Rect> out) const override;
  // NSEvent's mouse location.
  std::optional<Point> pointerLocation() const override;
  // On NSApplicationDidChangeScreenParametersNotification.
  void setChangeHandler(std::function<void()> changed) override;

 private:
  std::function<void()> changed_;
  void* observer_ = nullptr;  // the notification centre's token, retained
};

}  // namespace hushpad::macos
