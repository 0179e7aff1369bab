#pragma once
// The connected screens' frames from NSScreen.

#include "platform/screens.h"

namespace hushpad::macos {

class AppKitScreens final : public Screens {
 public:
  std::size_t copyFrames(std::span<Rect> out) const override;
};

}  // namespace hushpad::macos
