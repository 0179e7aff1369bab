#pragma once
// Switches the trackpad gesture preferences off while the input is locked and
// restores them exactly afterwards. The backup of the previous values lives in
// the application's user defaults, so it survives a crash; its presence is the
// only record that the override is in force.

#include <cstdint>
#include <functional>
#include <optional>
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
  Restored,    // every entry put back (or never possible here): the backup is gone
  Pending,     // what could be put back is; the rest waits, its saved values kept,
               // for a device or service not here now
  Unreadable,  // data that is no backup: left for the user to decide
  NotPutBack,  // the backup could not be read, or the store did not keep a value written
};

// The table of preferences to switch off, asked afresh at each lock and
// whenever the store says its preferences changed (a touchpad plugged in).
using OverridesSource = std::function<std::vector<PreferenceOverride>()>;

class TrackpadGestureLock {
 public:
  TrackpadGestureLock(std::string backupDefaultsKey, std::vector<PreferenceOverride> overrides,
                      PreferenceStore& preferences, UserDefaults& userDefaults,
                      DistributedNotifications& notifications);
  TrackpadGestureLock(std::string backupDefaultsKey, OverridesSource overrides,
                      PreferenceStore& preferences, UserDefaults& userDefaults,
                      DistributedNotifications& notifications);
  ~TrackpadGestureLock();
  TrackpadGestureLock(const TrackpadGestureLock&) = delete;
  TrackpadGestureLock& operator=(const TrackpadGestureLock&) = delete;

  // Records every preference of the table that holds nothing, a boolean or a
  // whole number, beside the entries an earlier unlock could not put back
  // yet, stores that backup, and only once it reads back intact from disk
  // writes the disabled values, flushes and notifies. A preference with an
  // entry waiting keeps that entry (its saved value is the user's) while it
  // still holds what the lock left there; one the user has set since is
  // recorded afresh. Preferences holding anything else are left out and
  // untouched. Does nothing while in force, and nothing with a backup that
  // cannot be read or decoded. A backup that does not read back intact is put
  // back as it was (or removed, when there was none), so nothing is lost.
  void lock();
  // Goes over every entry of a readable backup (also ones the table does not
  // list), as the store answers for it:
  //  - Never (the key no longer exists here): dropped;
  //  - NotNow (its device unplugged, its service away): kept with its value;
  //  - Now: written back, but only over what the lock left there; a value
  //    set by the user since wins and the entry is dropped.
  // Then flushes, reads every written value back and notifies. What did not
  // read back as saved is kept too; the backup is removed once nothing is
  // kept, else rewritten with what is. Does nothing without a backup, and
  // leaves one it cannot read or decode where it is.
  [[nodiscard]] GestureRestore unlock();
  // What the store's change handler calls: while in force, preferences that
  // appeared (a touchpad plugged in) are backed up and switched off too;
  // otherwise entries waiting for them go back.
  void preferencesChanged();
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
  // The table as last asked for.
  const std::vector<PreferenceOverride>& overrides() const { return overrides_; }
  // Whether this lock switched the preferences off and has not unlocked since.
  bool inForce() const { return inForce_; }

 private:
  // Backs up and switches off the rows of a fresh table; with onlyNewRows,
  // those the backup does not hold yet. Returns whether it stored a backup.
  bool switchOff(bool onlyNewRows);
  GestureRestore restore(const Bytes& data, const std::vector<StoredValue>& backup);
  // Stores data under key and reads it back; false unless it was kept as written.
  bool storeVerified(const std::string& key, std::span<const std::uint8_t> data);
  // Replaces the backup with values, or with previous when that fails.
  void replaceBackup(const std::vector<StoredValue>& values, const Bytes& previous);
  // What the lock left in the entry's preference: as the entry records it,
  // else (a backup of an earlier version) as the table has it; nothing when unknown.
  std::optional<PreferenceValue> lockedValueFor(const StoredValue& stored) const;
  // Whether the store now holds what stored recorded.
  bool readsBack(const StoredValue& stored);

  std::string backupDefaultsKey_;
  OverridesSource source_;
  std::vector<PreferenceOverride> overrides_;
  PreferenceStore& preferences_;
  UserDefaults& userDefaults_;
  DistributedNotifications& notifications_;
  bool inForce_ = false;
};

}  // namespace hushpad
