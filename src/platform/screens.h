#pragma once
// The connected screens. Main thread only; frames are copied out.

#include <cstddef>
#include <functional>
#include <optional>
#include <span>

#include "geometry.h"

namespace hushpad {

// The most screens the event path looks at; the rest are passed over.
inline constexpr std::size_t kMaxScreens = 32;

class Screens {
 public:
  virtual ~Screens() = default;
  // Copies the frames of the connected screens, main screen first, into out (as
  // many as fit) and returns how many screens there are. Must not allocate: it
  // runs on the event tap's path. Where asking the OS allocates, it answers from
  // the screens as read at the last refresh() or change the OS reported.
  virtual std::size_t copyFrames(std::span<Rect> out) const = 0;
  // The same for the part of each screen's top edge that a camera housing
  // hides (the null rectangle where there is none), in the order of the frames.
  // Returns how many screens there are; zero where no screen has a housing.
  // Must not allocate.
  virtual std::size_t copyCameraHousings(std::span<Rect>) const { return 0; }
  // Where the pointer is now, in screen coordinates (y upward); nothing where
  // the OS cannot tell.
  virtual std::optional<Point> pointerLocation() const = 0;
  // Whether the pointer's place can be told only while the input is held: the
  // OS shows a program where the pointer is only over that program's own
  // surfaces (Wayland), and holding the input puts one under the pointer.
  virtual bool pointerLocatedOnlyWhileHeld() const { return false; }
  // Reads the screens from the OS again, now; it may allocate, so never on the
  // event path. Each lock begins with it, whatever change is still unreported.
  virtual void refresh() {}
  // Calls changed (on the main thread) whenever a screen is connected,
  // disconnected or changes its frame, with the frames read again by then;
  // nullptr stops it. Where the OS does not tell, never called.
  virtual void setChangeHandler(std::function<void()> /*changed*/) {}
};

}  // namespace hushpad
