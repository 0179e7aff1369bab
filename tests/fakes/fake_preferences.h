#pragma once
// In-memory preference store, user defaults and distributed notifications.
//
// Each fake writes one line per call into a CallLog. Give the three fakes the
// same log to check the order of calls across them:
//
//   auto log = std::make_shared<CallLog>();
//   FakePreferenceStore preferences{log};
//   FakeUserDefaults defaults{log};
//   FakeDistributedNotifications notifications{log};
//
// Lines look like
//   "copy any-app/any-host TrackpadPinch"
//   "set com.apple.AppleMultitouchTrackpad/current-host TrackpadPinch = 0"
//   "set any-app/any-host TrackpadPinch = removed"
//   "synchronize com.apple.AppleMultitouchTrackpad/any-host"
//   "dataForKey Backup", "setData Backup", "removeObject Backup",
//   "boolForKey Flag", "setBool Flag = true", "post com.apple.trackpad.prefschanged"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <tuple>
#include <utility>
#include <variant>
#include <vector>

#include "platform/notifications.h"
#include "platform/preference_store.h"
#include "platform/user_defaults.h"

namespace hushpad::fakes {

class CallLog {
 public:
  void add(std::string line) { lines_.push_back(std::move(line)); }
  const std::vector<std::string>& lines() const { return lines_; }
  void clear() { lines_.clear(); }

  // The lines that start with prefix, in order ("set ", "post ", ...).
  std::vector<std::string> startingWith(const std::string& prefix) const {
    std::vector<std::string> matching;
    std::ranges::copy_if(lines_, std::back_inserter(matching),
                         [&](const std::string& line) { return line.starts_with(prefix); });
    return matching;
  }
  std::size_t count(const std::string& prefix) const { return startingWith(prefix).size(); }

  // Position of the first line starting with prefix; nullopt when there is none.
  std::optional<std::size_t> firstIndexOf(const std::string& prefix) const {
    const auto found = std::ranges::find_if(
        lines_, [&](const std::string& line) { return line.starts_with(prefix); });
    if (found == lines_.end()) return std::nullopt;
    return static_cast<std::size_t>(found - lines_.begin());
  }

 private:
  std::vector<std::string> lines_;
};

// "any-app/any-host", "com.apple.AppleMultitouchTrackpad/current-host".
inline std::string describe(const PreferenceAddress& address) {
  return address.application.value_or("any-app") +
         (address.currentHost ? "/current-host" : "/any-host");
}

// "true", "false", "-1", "1.5", "unsupported"; "removed" for no value.
inline std::string describe(const std::optional<PreferenceValue>& value) {
  if (!value) return "removed";
  if (const auto* truth = std::get_if<bool>(&*value)) return *truth ? "true" : "false";
  if (const auto* integer = std::get_if<std::int64_t>(&*value)) return std::to_string(*integer);
  if (const auto* real = std::get_if<double>(&*value)) return std::to_string(*real);
  return "unsupported";
}

class FakePreferenceStore final : public PreferenceStore {
 public:
  FakePreferenceStore() = default;
  explicit FakePreferenceStore(std::shared_ptr<CallLog> log) : log_(std::move(log)) {}

  std::optional<PreferenceValue> copyValue(const std::string& key,
                                           const PreferenceAddress& address) override {
    log_->add("copy " + describe(address) + " " + key);
    return value(key, address);
  }
  void setValue(const std::string& key, const std::optional<PreferenceValue>& value,
                const PreferenceAddress& address) override {
    log_->add("set " + describe(address) + " " + key + " = " + describe(value));
    if (refuseWrites) return;
    if (value) {
      values_.insert_or_assign(slot(key, address), *value);
    } else {
      values_.erase(slot(key, address));
    }
  }
  void synchronize(const PreferenceAddress& address) override {
    log_->add("synchronize " + describe(address));
  }

  // Test set-up and inspection; not logged.
  void put(const std::string& key, const PreferenceAddress& address, PreferenceValue value) {
    values_.insert_or_assign(slot(key, address), std::move(value));
  }
  std::optional<PreferenceValue> value(const std::string& key,
                                       const PreferenceAddress& address) const {
    const auto found = values_.find(slot(key, address));
    if (found == values_.end()) return std::nullopt;
    return found->second;
  }
  // Every stored value by (key, application, current host), to compare whole stores.
  using Slot = std::tuple<std::string, std::optional<std::string>, bool>;
  const std::map<Slot, PreferenceValue>& all() const { return values_; }

  CallLog& log() { return *log_; }

  bool refuseWrites = false;  // setValue is logged but changes nothing

 private:
  static Slot slot(const std::string& key, const PreferenceAddress& address) {
    return {key, address.application, address.currentHost};
  }

  std::shared_ptr<CallLog> log_ = std::make_shared<CallLog>();
  std::map<Slot, PreferenceValue> values_;
};

class FakeUserDefaults final : public UserDefaults {
 public:
  FakeUserDefaults() = default;
  explicit FakeUserDefaults(std::shared_ptr<CallLog> log) : log_(std::move(log)) {}

  std::optional<Bytes> dataForKey(const std::string& key) override {
    log_->add("dataForKey " + key);
    return data(key);
  }
  void setData(const std::string& key, std::span<const std::uint8_t> bytes) override {
    log_->add("setData " + key);
    if (dropDataWrites) return;
    entries_.insert_or_assign(key, Bytes(bytes.begin(), bytes.end()));
  }
  void removeObject(const std::string& key) override {
    log_->add("removeObject " + key);
    entries_.erase(key);
  }
  bool boolForKey(const std::string& key) override {
    log_->add("boolForKey " + key);
    return held<bool>(key).value_or(false);
  }
  void setBool(const std::string& key, bool value) override {
    log_->add("setBool " + key + " = " + (value ? "true" : "false"));
    entries_.insert_or_assign(key, value);
  }

  // Test set-up and inspection; not logged.
  void putData(const std::string& key, const std::string& bytes) {
    entries_.insert_or_assign(key, Bytes(bytes.begin(), bytes.end()));
  }
  // A value that is not data (a text), which dataForKey does not report.
  void putText(const std::string& key, std::string text) {
    entries_.insert_or_assign(key, std::move(text));
  }
  void putBool(const std::string& key, bool value) { entries_.insert_or_assign(key, value); }
  std::optional<Bytes> data(const std::string& key) const { return held<Bytes>(key); }
  // The data under key as text, for readable assertions.
  std::optional<std::string> dataText(const std::string& key) const {
    const std::optional<Bytes> bytes = data(key);
    if (!bytes) return std::nullopt;
    return std::string(bytes->begin(), bytes->end());
  }
  std::optional<std::string> text(const std::string& key) const { return held<std::string>(key); }
  bool contains(const std::string& key) const { return entries_.contains(key); }

  CallLog& log() { return *log_; }

  bool dropDataWrites = false;  // setData is logged but keeps nothing, as a full disk would

 private:
  // The value under key when it is of kind T.
  template <typename T>
  std::optional<T> held(const std::string& key) const {
    const auto found = entries_.find(key);
    if (found == entries_.end() || !std::holds_alternative<T>(found->second)) return std::nullopt;
    return std::get<T>(found->second);
  }

  std::shared_ptr<CallLog> log_ = std::make_shared<CallLog>();
  std::map<std::string, std::variant<Bytes, bool, std::string>> entries_;
};

class FakeDistributedNotifications final : public DistributedNotifications {
 public:
  FakeDistributedNotifications() = default;
  explicit FakeDistributedNotifications(std::shared_ptr<CallLog> log) : log_(std::move(log)) {}

  void post(const std::string& name) override {
    log_->add("post " + name);
    posted.push_back(name);
  }

  CallLog& log() { return *log_; }

  std::vector<std::string> posted;

 private:
  std::shared_ptr<CallLog> log_ = std::make_shared<CallLog>();
};

}  // namespace hushpad::fakes
