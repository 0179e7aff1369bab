#pragma once
// In-memory preference store, user defaults and distributed notifications.
//
// Each fake writes one line per call into its log. Point several fakes at one
// log to check the order of calls across them. Lines look like
//   "copy any-app/any-host TrackpadPinch"
//   "set com.apple.AppleMultitouchTrackpad/current-host TrackpadPinch = 0" ("= removed")
//   "synchronize com.apple.AppleMultitouchTrackpad/any-host"
//   "dataForKey K", "setData K", "removeObject K", "boolForKey K", "setBool K = true"
//   "post com.apple.trackpad.prefschanged"

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/notifications.h"
#include "platform/preference_store.h"
#include "platform/user_defaults.h"

namespace hushpad::fakes {

using CallLog = std::vector<std::string>;

// How many lines of log start with prefix.
inline std::size_t count(const CallLog& log, std::string_view prefix) {
  return static_cast<std::size_t>(std::ranges::count_if(
      log, [&](const std::string& line) { return line.starts_with(prefix); }));
}

// "any-app/any-host", "com.apple.AppleMultitouchTrackpad/current-host".
inline std::string describe(const PreferenceAddress& address) {
  return address.application.value_or("any-app") +
         (address.currentHost ? "/current-host" : "/any-host");
}

// "true", "-1", "1.500000", "unsupported"; "removed" for no value.
inline std::string describe(const std::optional<PreferenceValue>& value) {
  if (!value) return "removed";
  if (const auto* truth = std::get_if<bool>(&*value)) return *truth ? "true" : "false";
  if (const auto* integer = std::get_if<std::int64_t>(&*value)) return std::to_string(*integer);
  if (const auto* real = std::get_if<double>(&*value)) return std::to_string(*real);
  return "unsupported";
}

class FakePreferenceStore final : public PreferenceStore {
 public:
  std::optional<PreferenceValue> copyValue(const std::string& key,
                                           const PreferenceAddress& address) override {
    log->push_back("copy " + describe(address) + " " + key);
    return value(key, address);
  }
  void setValue(const std::string& key, const std::optional<PreferenceValue>& value,
                const PreferenceAddress& address) override {
    log->push_back("set " + describe(address) + " " + key + " = " + describe(value));
    if (value) {
      values.insert_or_assign(slot(key, address), *value);
    } else {
      values.erase(slot(key, address));
    }
  }
  void synchronize(const PreferenceAddress& address) override {
    log->push_back("synchronize " + describe(address));
  }

  // Set-up and inspection, not logged.
  void put(const std::string& key, const PreferenceAddress& address, PreferenceValue value) {
    values.insert_or_assign(slot(key, address), value);
  }
  std::optional<PreferenceValue> value(const std::string& key,
                                       const PreferenceAddress& address) const {
    const auto found = values.find(slot(key, address));
    return found == values.end() ? std::nullopt : std::optional(found->second);
  }

  // "com.apple.AppleMultitouchTrackpad/any-host TrackpadPinch".
  static std::string slot(const std::string& key, const PreferenceAddress& address) {
    return describe(address) + " " + key;
  }

  std::map<std::string, PreferenceValue> values;
  std::shared_ptr<CallLog> log = std::make_shared<CallLog>();
};

class FakeUserDefaults final : public UserDefaults {
 public:
  std::optional<Bytes> dataForKey(const std::string& key) override {
    log->push_back("dataForKey " + key);
    return held<Bytes>(key);
  }
  void setData(const std::string& key, std::span<const std::uint8_t> bytes) override {
    log->push_back("setData " + key);
    if (dropDataWrites) return;
    const std::size_t kept = damageDataWrites ? bytes.size() / 2 : bytes.size();
    entries.insert_or_assign(key, Bytes(bytes.begin(), bytes.begin() + static_cast<long>(kept)));
  }
  void removeObject(const std::string& key) override {
    log->push_back("removeObject " + key);
    entries.erase(key);
  }
  bool boolForKey(const std::string& key) override {
    log->push_back("boolForKey " + key);
    return held<bool>(key).value_or(false);
  }
  void setBool(const std::string& key, bool value) override {
    log->push_back("setBool " + key + " = " + (value ? "true" : "false"));
    entries.insert_or_assign(key, value);
  }

  // The value under key when it is of kind T.
  template <typename T>
  std::optional<T> held(const std::string& key) const {
    const auto found = entries.find(key);
    if (found == entries.end() || !std::holds_alternative<T>(found->second)) return std::nullopt;
    return std::get<T>(found->second);
  }

  std::map<std::string, std::variant<Bytes, bool>> entries;
  bool dropDataWrites = false;    // setData keeps nothing, as on a full disk
  bool damageDataWrites = false;  // setData keeps only the first half
  std::shared_ptr<CallLog> log = std::make_shared<CallLog>();
};

class FakeDistributedNotifications final : public DistributedNotifications {
 public:
  void post(const std::string& name) override { log->push_back("post " + name); }

  std::shared_ptr<CallLog> log = std::make_shared<CallLog>();
};

}  // namespace hushpad::fakes
