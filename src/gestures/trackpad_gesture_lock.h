#pragma once
// Switches the trackpad gesture preferences off while the input is locked and
// restores them exactly afterwards. The backup of the previous values lives in
// the application's user defaults, so it survives a crash; its presence is the
// only record that the override is in force.

#include <string>
#include <vector>

#include "gestures/preference_records.h"
#include "platform/notifications.h"
#include "platform/preference_store.h"
#include "platform/user_defaults.h"

namespace hushpad {

inline constexpr const char* kGestureBackupDefaultsKey = "TrackpadGestureLock.backup.v1";

class TrackpadGestureLock {
 public:
  TrackpadGestureLock(std::string backupDefaultsKey, std::vector<PreferenceOverride> overrides,
                      PreferenceStore& preferences, UserDefaults& userDefaults,
                      DistributedNotifications& notifications);
  TrackpadGestureLock(const TrackpadGestureLock&) = delete;
  TrackpadGestureLock& operator=(const TrackpadGestureLock&) = delete;

  void lock();
  void unlock();
  void synchronizeDomains();
  void notifyPreferenceChange();

  const std::string& backupDefaultsKey() const { return backupDefaultsKey_; }
  const std::vector<PreferenceOverride>& overrides() const { return overrides_; }

 private:
  std::string backupDefaultsKey_;
  std::vector<PreferenceOverride> overrides_;
  PreferenceStore& preferences_;
  UserDefaults& userDefaults_;
  DistributedNotifications& notifications_;
};

}  // namespace hushpad
