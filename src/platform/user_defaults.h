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

// What a read of a data value found: its bytes, nothing there (no value, or
// one that is not data), or a value that could not be read at all (a
// permission or I/O error), which is not the same as none.
struct StoredData {
  std::optional<Bytes> bytes;
  bool unreadable = false;
  bool isMissing() const { return !bytes && !unreadable; }
};

class UserDefaults {
 public:
  virtual ~UserDefaults() = default;
  virtual StoredData dataForKey(const std::string& key) = 0;
  // Stores data under key, replacing whatever was there. Callers that must know
  // whether it was kept read it back after synchronize().
  virtual void setData(const std::string& key, std::span<const std::uint8_t> data) = 0;
  // Writes what is pending to disk; false when that failed.
  virtual bool synchronize() { return true; }
  virtual void removeObject(const std::string& key) = 0;
  // A missing key, or one that is not a truth value, reads as false.
  virtual bool boolForKey(const std::string& key) = 0;
  virtual void setBool(const std::string& key, bool value) = 0;
};

}  // namespace hushpad
