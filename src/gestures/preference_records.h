#pragma once
// The gesture lock's value records.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/preference_store.h"

namespace hushpad {

// One system preference. The any-host and current-host copies of the same
// domain and key are different preferences.
struct PreferenceKey {
  std::string domain;  // "NSGlobalDomain" names the domain every application sees
  std::string key;
  bool currentHostOnly = false;
  friend bool operator==(const PreferenceKey&, const PreferenceKey&) = default;
};

struct PreferenceKeyHash {
  std::size_t operator()(const PreferenceKey& k) const noexcept;
};

// One row of the table of preferences switched off while locked.
struct PreferenceOverride {
  PreferenceKey key;
  PreferenceValue disabledValue;  // always false or the integer 0 in the tables
  friend bool operator==(const PreferenceOverride&, const PreferenceOverride&) = default;
};

// What one preference held just before the lock overrode it, and what the
// lock wrote there instead (absent in backups of earlier versions): a value
// other than that one was set by the user since, and is never written over.
struct StoredValue {
  PreferenceKey key;
  bool existed = false;
  std::optional<bool> boolValue;
  std::optional<std::int64_t> intValue;
  std::optional<bool> lockedBoolValue = std::nullopt;
  std::optional<std::int64_t> lockedIntValue = std::nullopt;
  friend bool operator==(const StoredValue&, const StoredValue&) = default;
};

}  // namespace hushpad
