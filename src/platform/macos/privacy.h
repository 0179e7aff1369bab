#pragma once
// Accessibility trust (HIServices), Input Monitoring access (IOKit HID) and
// secure keyboard entry (Carbon). Main thread only.

#include "platform/privacy.h"

namespace hushpad::macos {

class SystemPrivacyAccess final : public PrivacyAccess {
 public:
  // Both privileges are the user's to grant; any session can be held, but
  // not while another application holds secure event input.
  InputAccess inputAccess() override;
  void promptForAccessibility() override;
  void requestInputMonitoring() override;
};

}  // namespace hushpad::macos
