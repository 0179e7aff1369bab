#pragma once
// Target-action: the status button and menu items name the action they send;
// the target performs it. Main thread only; a sender holds its target without
// owning it.

#include <cstdint>

namespace hushpad {

enum class Action : std::uint8_t {
  None,
  StatusItemClicked,
  LockNow,
  OpenPermissions,
  Quit,
  ToggleStartAtLogin,
  LockRequested,        // the lock command
  UnlockRequested,      // the unlock command
  LockShortcutPressed,  // the OS's global shortcut
};

class ActionTarget {
 public:
  virtual ~ActionTarget() = default;
  virtual void performAction(Action action) = 0;
};

// Mouse event masks and types, with the AppKit numbers.
inline constexpr std::uint64_t kEventMaskLeftMouseUp = 1u << 2;   // 4
inline constexpr std::uint64_t kEventMaskRightMouseUp = 1u << 4;  // 16
enum class MouseEventType : std::uint32_t {
  LeftMouseDown = 1, LeftMouseUp = 2, RightMouseDown = 3, RightMouseUp = 4, Other = 0xFFFF
};

}  // namespace hushpad
