#pragma once
// What the OS knows about holding the session's input, and its own prompts for
// the privileges that allow it. Main thread only; every answer is asked afresh
// and returned by value, nothing is kept.

namespace hushpad {

// A snapshot of the facts; the core decides what follows from them.
struct InputAccess {
  // Whether this OS asks the user to grant privileges before a program may
  // hold the input. Without them the two grants below mean nothing.
  bool hasPrivilegesToGrant = false;
  bool accessibilityTrusted = false;    // assistive access (Accessibility)
  bool inputMonitoringGranted = false;  // listening to input events (Input Monitoring)
  // False where no program can hold the input of this session at all (an X11
  // program in a Wayland session).
  bool sessionCanBeHeld = true;
  // Another program has turned on secure keyboard entry: keys go to it past
  // any event tap.
  bool secureKeyboardEntry = false;
  // Whether this OS has secure keyboard entry at all; only then is it watched
  // while locked.
  bool secureKeyboardEntryExists = false;
};

class PrivacyAccess {
 public:
  virtual ~PrivacyAccess() = default;
  // Also asked from the event tap's path when the system switches the tap
  // off: must not allocate or wait.
  virtual InputAccess inputAccess() = 0;
  // Lets the system show its own Accessibility prompt; the outcome is not reported.
  virtual void promptForAccessibility() = 0;
  // Asks the system for Input Monitoring; the outcome is not reported.
  virtual void requestInputMonitoring() = 0;
};

}  // namespace hushpad
