#pragma once
// Notifications on the default NSDistributedNotificationCenter.

#include "platform/notifications.h"

namespace hushpad::macos {

class FoundationDistributedNotifications final : public DistributedNotifications {
 public:
  // A name that is not valid UTF-8 is not posted.
  void post(const std::string& name) override;
};

}  // namespace hushpad::macos
