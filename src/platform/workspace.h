#pragma once
// Opening URLs. Main thread only; nothing is kept.

#include <string>

namespace hushpad {

class Workspace {
 public:
  virtual ~Workspace() = default;
  // Opens the URL in the application that handles it. Text that does not form a
  // valid URL opens nothing. Returns whether a request was made.
  virtual bool openURL(const std::string& url) = 0;
};

}  // namespace hushpad
