#pragma once
// Session-wide notifications of changed settings. Main thread only.

#include "platform/notifications.h"

namespace hushpad::linux {

// GSettings tells every listener about a change by itself: nothing to post.
class GSettingsNotifications final : public DistributedNotifications {
 public:
  void post(const std::string&) override {}
};

}  // namespace hushpad::linux
