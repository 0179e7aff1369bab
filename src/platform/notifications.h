#pragma once
// Notifications posted to every process of the user's session. Main thread
// only; nothing is kept after a post.

#include <string>

namespace hushpad {

class DistributedNotifications {
 public:
  virtual ~DistributedNotifications() = default;
  // Posts name with no object and no user information, delivered immediately.
  virtual void post(const std::string& name) = 0;
};

}  // namespace hushpad
