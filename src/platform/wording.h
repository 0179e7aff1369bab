#pragma once
// An OS's own names for the things the program's texts speak of, where they
// differ from the Mac's. A plain value, set by the entry point and copied.

#include <string>

namespace hushpad {

struct PlatformWording {
  // The pointing surface whose gesture settings are switched off while locked.
  std::string inputDevice = "trackpad";
  // The kind of session no program can hold the input of, and one to use
  // instead (only where such sessions exist).
  std::string sessionThatCannotBeHeld = "a session of this kind";
  std::string sessionThatCanBeHeld = "a session of another kind";
  // Why the status item may not be on screen, and what brings it back.
  std::string whyTheIconIsHidden = "it is behind the camera housing or hidden by a menu bar manager";
  std::string howToShowTheIcon = "make room in the menu bar";
};

}  // namespace hushpad
