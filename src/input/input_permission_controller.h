#pragma once
// Checks the two privileges the event tap needs before every lock, lets the
// system prompt for what is missing and otherwise explains it in an alert.

#include <string>

#include "platform/alert.h"
#include "platform/privacy.h"
#include "platform/workspace.h"

namespace hushpad {

inline constexpr const char* kPrivacyPaneURLPrefix =
    "x-apple.systempreferences:com.apple.preference.security?";
inline constexpr const char* kAccessibilityPaneAnchor = "Privacy_Accessibility";
inline constexpr const char* kInputMonitoringPaneAnchor = "Privacy_ListenEvent";
inline constexpr const char* kAccessibilityPaneURL =
    "x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility";

class InputPermissionController {
 public:
  InputPermissionController(PrivacyAccess& privacy, AlertPresenter& alerts, Workspace& workspace);
  InputPermissionController(const InputPermissionController&) = delete;
  InputPermissionController& operator=(const InputPermissionController&) = delete;

  // True when both privileges are granted, at once or after the system's
  // prompts; otherwise shows the permissions alert and returns false.
  bool requestMissingPermissionsIfNeeded();
  void openPrivacyPane(const std::string& anchor);

 private:
  PrivacyAccess& privacy_;
  AlertPresenter& alerts_;
  Workspace& workspace_;
};

}  // namespace hushpad
