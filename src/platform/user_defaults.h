#pragma once
// The application's own small persistent key-value store. Main thread only;
// values are returned by value.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace hushpad {

using Bytes = std::vector<std::uint8_t>;

class UserDefaults {
 public:
  virtual ~UserDefaults() = default;
  // The data stored under key; nothing when the key is missing or holds a
  // value that is not data.
  virtual std::optional<Bytes> dataForKey(const std::string& key) = 0;
  // Stores data under key, replacing whatever was there. Callers that must know
  // whether it was kept read it back.
  virtual void setData(const std::string& key, std::span<const std::uint8_t> data) = 0;
  virtual void removeObject(const std::string& key) = 0;
  // A missing key, or one that is not a truth value, reads as false.
  virtual bool boolForKey(const std::string& key) = 0;
  virtual void setBool(const std::string& key, bool value) = 0;
};

}  // namespace hushpad
