#pragma once
// The application's standard NSUserDefaults.

#include "platform/user_defaults.h"

namespace hushpad::macos {

// A key that is not valid UTF-8 holds nothing: reads find nothing and writes
// are dropped.
class FoundationUserDefaults final : public UserDefaults {
 public:
  StoredData dataForKey(const std::string& key) override;
  bool synchronize() override;
  void setData(const std::string& key, std::span<const std::uint8_t> data) override;
  void removeObject(const std::string& key) override;
  bool boolForKey(const std::string& key) override;
  void setBool(const std::string& key, bool value) override;
};

}  // namespace hushpad::macos
