#pragma once
// Switches the trackpad gesture preferences off while the input is locked and
// restores them exactly afterwards. The backup of the previous values lives in
// the application's user defaults, so it survives a crash; its presence is the
// only record that the override is in force.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "gestures/preference_records.h"
#include "platform/notifications.h"
#include "platform/preference_store.h"
#include "platform/user_defaults.h"

namespace hushpad {

inline constexpr const char* kGestureBackupDefaultsKey = "TrackpadGestureLock.backup.v1";
// Where a reset keeps an unreadable backup: the backup key with this ending.
inline constexpr const char* kUnreadableBackupSuffix = ".unreadable";

// What an unlock found under the backup key, and what became of it.
enum class GestureRestore {
  NothingToRestore,
  Restored,
  Unreadable,  // data that is no backup: left for the user to decide
  NotPutBack,  // the backup could not be read, or the store did not keep every value
};

class TrackpadGestureLock {
 public:
  TrackpadGestureLock(std::string backupDefaultsKey, std::vector<PreferenceOverride> overrides,
                      PreferenceStore& preferences, UserDefaults& userDefaults,
                      DistributedNotifications& notifications);
  TrackpadGestureLock(const TrackpadGestureLock&) = delete;
  TrackpadGestureLock& operator=(const TrackpadGestureLock&) = delete;

  // With no value under the backup key: records every preference of the table
  // that holds nothing, a boolean or a whole number, stores that backup, and
  // only once it reads back intact from disk writes the disabled values,
  // flushes and notifies. Preferences holding anything else are left out and
  // untouched. With anything there, decodable, damaged or impossible to read,
  // does nothing. A backup that does not read back intact is removed again,
  // so that the next lock starts afresh.
  void lock();
  // Puts back every entry of a readable backup (also ones the table does not
  // list), flushes, reads every value back and notifies; the backup is removed
  // only when every value reads back as saved, and otherwise kept for the next
  // try. Does nothing without a backup, and leaves one it cannot read or decode
  // where it is.
  [[nodiscard]] GestureRestore unlock();
  // Gives up an unreadable backup: keeps its data under the backup key with
  // kUnreadableBackupSuffix (replacing an older copy), then removes every
  // preference of the table, flushes, removes the backup and notifies. Does
  // nothing unless the copy is kept intact; returns whether it reset.
  bool resetAfterUnreadableBackup();
  // Flushes each domain of the table, any-host copy then current-host copy.
  void synchronizeDomains();
  // Posts the four notifications that make the system reread trackpad settings.
  void notifyPreferenceChange();

  const std::string& backupDefaultsKey() const { return backupDefaultsKey_; }
  const std::vector<PreferenceOverride>& overrides() const { return overrides_; }

 private:
  // Stores data under key and reads it back; false unless it was kept as written.
  bool storeVerified(const std::string& key, std::span<const std::uint8_t> data);
  // Whether the store now holds what stored recorded.
  bool readsBack(const StoredValue& stored);

  std::string backupDefaultsKey_;
  std::vector<PreferenceOverride> overrides_;
  PreferenceStore& preferences_;
  UserDefaults& userDefaults_;
  DistributedNotifications& notifications_;
};

}  // namespace hushpad
