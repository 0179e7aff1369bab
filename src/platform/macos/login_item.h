#pragma once
// Objective-C++ only. Start at Login through ServiceManagement's
// SMAppService.mainApp (macOS 13 and later), reached by name: on older systems
// there is no login item to offer. Main thread only.

#include "platform/remote_requests.h"

namespace hushpad::macos {

class AppServiceLoginItem final : public LoginItem {
 public:
  // Enabled, NeedsApproval (the user must allow it in System Settings, Login
  // Items), Disabled; Unavailable before macOS 13.
  LoginItemStatus status() const override;
  // register or unregister; a refusal is written to stderr.
  bool setEnabled(bool enabled) override;
  // System Settings at Login Items.
  void openSettings() override;
};

}  // namespace hushpad::macos
