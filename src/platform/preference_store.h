#pragma once
// The system preference store that holds the trackpad settings. Main thread
// only; values are returned by value, nothing refers into the store.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <variant>

namespace hushpad {

// A value of a kind the gesture lock cannot record (text, date, array, ...).
struct UnsupportedValue {
  friend constexpr bool operator==(const UnsupportedValue&, const UnsupportedValue&) = default;
};

// A stored preference value as the store reports it. Integer numbers arrive as
// signed 64-bit integers, other numbers as doubles; everything that is neither
// a number nor a boolean is UnsupportedValue.
using PreferenceValue = std::variant<bool, std::int64_t, double, UnsupportedValue>;

// Where a preference lives: the application (or none, meaning the domain every
// application sees), always the current user, and the host copy.
struct PreferenceAddress {
  std::optional<std::string> application;  // nullopt: any application
  bool currentHost = false;                 // false: any host
  friend bool operator==(const PreferenceAddress&, const PreferenceAddress&) = default;
};

enum class PreferenceReach { Now, NotNow, Never };

class PreferenceStore {
 public:
  virtual ~PreferenceStore() = default;
  virtual std::optional<PreferenceValue> copyValue(const std::string& key,
                                                   const PreferenceAddress& address) = 0;
  // nullopt removes the preference. Never given UnsupportedValue.
  virtual void setValue(const std::string& key, const std::optional<PreferenceValue>& value,
                        const PreferenceAddress& address) = 0;
  // Flushes one application's preferences for the current user and one host copy.
  virtual void synchronize(const PreferenceAddress& address) = 0;
  // Whether value (nothing: no value) can be put under key now:
  //  - Now: the preference is there and takes such a value;
  //  - NotNow: not at the moment (its device is not plugged in, its service
  //    is not answering or not running), or the address belongs to a store
  //    this one is not;
  //  - Never: the key no longer exists here (its schema or setting gone, its
  //    type or range changed). Only the store an address belongs to says so.
  virtual PreferenceReach reach(const std::string& /*key*/,
                                const std::optional<PreferenceValue>& /*value*/,
                                const PreferenceAddress& /*address*/) {
    return PreferenceReach::Now;
  }
  // Called, on the main thread and never from within a call of this store,
  // when the preferences the store offers may have changed (a device came or
  // went); nullptr stops it.
  virtual void setPreferencesChangedHandler(std::function<void()> /*changed*/) {}
};

}  // namespace hushpad
