#pragma once
// The screens as read at one moment, for a Screens whose OS allocates or
// locks to answer: it reads the OS at its refresh and at each change the OS
// reports, and answers the event path from here. Copying out never allocates.

#include <algorithm>
#include <array>
#include <cstddef>
#include <span>

#include "geometry.h"
#include "screens.h"

namespace hushpad {

class ScreenSnapshot {
 public:
  // The next screen, main screen first: its frame and its camera housing (the
  // null rectangle where it has none). Past kMaxScreens a screen is counted only.
  void add(Rect frame, Rect cameraHousing = kNullRect) {
    if (count_ < kMaxScreens) {
      frames_[count_] = frame;
      housings_[count_] = cameraHousing;
    }
    ++count_;
    hasHousing_ = hasHousing_ || !isNull(cameraHousing);
  }

  // As Screens::copyFrames and Screens::copyCameraHousings.
  std::size_t copyFrames(std::span<Rect> out) const noexcept { return copy(frames_, out); }
  std::size_t copyCameraHousings(std::span<Rect> out) const noexcept {
    return hasHousing_ ? copy(housings_, out) : 0;
  }

 private:
  std::size_t copy(const std::array<Rect, kMaxScreens>& from, std::span<Rect> out) const noexcept {
    const std::size_t kept = std::min(count_, from.size());
    std::copy_n(from.begin(), std::min(kept, out.size()), out.begin());
    return count_;
  }

  std::array<Rect, kMaxScreens> frames_{};
  std::array<Rect, kMaxScreens> housings_{};
  std::size_t count_ = 0;  // every screen, kept or not
  bool hasHousing_ = false;
};

}  // namespace hushpad
