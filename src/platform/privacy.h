#pragma once
// The two privileges an input lock needs, and the system's own prompts for them.

namespace hushpad {

class PrivacyAccess {
 public:
  virtual ~PrivacyAccess() = default;
  // Whether the process is trusted for assistive access (Accessibility).
  virtual bool isAccessibilityTrusted() = 0;
  // Lets the system show its own Accessibility prompt; the outcome is not reported.
  virtual void promptForAccessibility() = 0;
  // Whether the process may listen to input events (Input Monitoring).
  virtual bool isInputMonitoringGranted() = 0;
  // Asks the system for Input Monitoring; the outcome is not reported.
  virtual void requestInputMonitoring() = 0;
};

}  // namespace hushpad
