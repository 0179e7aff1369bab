#pragma once
// Ways to reach Hushpad other than its status item: the lock and unlock
// commands (from a terminal, a launcher, a second Hushpad process), the OS's
// global shortcut, and the login item that starts Hushpad with the session.
// Main thread only; the entry point owns both services.

#include <cstdint>
#include <optional>
#include <string>

#include "actions.h"

namespace hushpad {

// Modifier keys of a shortcut, as a mask.
inline constexpr std::uint8_t kKeyModifierControl = 1u << 0;
inline constexpr std::uint8_t kKeyModifierOption = 1u << 1;  // Alt
inline constexpr std::uint8_t kKeyModifierCommand = 1u << 2;  // Super, the logo key
inline constexpr std::uint8_t kKeyModifierShift = 1u << 3;

struct KeyShortcut {
  std::string key;  // one lower-case letter
  std::uint8_t modifiers = 0;
  friend bool operator==(const KeyShortcut&, const KeyShortcut&) = default;
};

class RemoteRequests {
 public:
  virtual ~RemoteRequests() = default;
  // From now on sends target the requests that come from outside: the lock
  // command (Action::LockRequested), the unlock command
  // (Action::UnlockRequested), and the OS's shortcut, which is asked for with
  // preferred as the keys it would like (Action::LockShortcutPressed).
  virtual void listen(ActionTarget* target, const KeyShortcut& preferred) = 0;
  // Sends nothing more; said before the target goes away.
  virtual void stopListening() = 0;
  // The keys that press the shortcut, when this program chose them and the OS
  // granted them; nothing when the OS (or the user, in its settings) decides.
  virtual std::optional<KeyShortcut> grantedShortcut() const = 0;
};

enum class LoginItemStatus {
  Unavailable,    // the OS has no way to offer here
  Disabled,       // Hushpad does not start at login
  Enabled,        // it does
  NeedsApproval,  // asked for, but the user must allow it in the OS's settings
};

class LoginItem {
 public:
  virtual ~LoginItem() = default;
  // Read afresh from the OS each time.
  virtual LoginItemStatus status() const = 0;
  // Registers or unregisters Hushpad as started at login; false when the OS
  // refused (the reason has been reported by the layer).
  virtual bool setEnabled(bool enabled) = 0;
  // Shows the OS's settings where the user allows login items.
  virtual void openSettings() = 0;
};

}  // namespace hushpad
