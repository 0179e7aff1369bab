#pragma once
// Opening URLs in the user's preferred application (GIO). Main thread only.

#include "platform/workspace.h"

namespace hushpad::linux {

class DesktopWorkspace final : public Workspace {
 public:
  bool openURL(const std::string& url) override;
};

}  // namespace hushpad::linux
