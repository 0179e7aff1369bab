#pragma once
// Opening URLs through NSWorkspace.

#include "platform/workspace.h"

namespace hushpad::macos {

class AppKitWorkspace final : public Workspace {
 public:
  bool openURL(const std::string& url) override;
};

}  // namespace hushpad::macos
