#pragma once
// Accessibility trust (HIServices) and Input Monitoring access (IOKit HID).

#include "platform/privacy.h"

namespace hushpad::macos {

class SystemPrivacyAccess final : public PrivacyAccess {
 public:
  bool isAccessibilityTrusted() override;
  void promptForAccessibility() override;
  bool isInputMonitoringGranted() override;
  void requestInputMonitoring() override;
};

}  // namespace hushpad::macos
