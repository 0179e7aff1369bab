#pragma once
// Accessibility trust (HIServices) and Input Monitoring access (IOKit HID).

#include "platform/privacy.h"

namespace hushpad::macos {

class SystemPrivacyAccess final : public PrivacyAccess {
 public:
  // Both privileges are the user's to grant; any session can be held.
  InputAccess inputAccess() override;
  void promptForAccessibility() override;
  void requestInputMonitoring() override;
};

}  // namespace hushpad::macos
