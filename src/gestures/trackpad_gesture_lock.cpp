#include "gestures/trackpad_gesture_lock.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>

#include "gestures/backup_codec.h"
#include "gestures/overrides_table.h"

namespace hushpad {

namespace {

constexpr std::array<const char*, 4> kPreferenceChangeNotifications{
    "com.apple.systempreferences.trackpad.changed",
    "com.apple.systempreferences.trackpadEnableSecondaryClick",
    "com.apple.systempreferences.trackpad.scrolling",
    "com.apple.trackpad.prefschanged",
};

// A number as a whole signed 64-bit integer; nothing when it has a fraction,
// lies outside that range or is not a number at all (NaN, infinities).
std::optional<std::int64_t> wholeNumber(const PreferenceValue& value) {
  if (const auto* integer = std::get_if<std::int64_t>(&value)) return *integer;
  if (const auto* real = std::get_if<double>(&value)) {
    constexpr double kTwoToThe63 = 9223372036854775808.0;
    if (std::trunc(*real) == *real && *real >= -kTwoToThe63 && *real < kTwoToThe63) {
      return static_cast<std::int64_t>(*real);
    }
  }
  return std::nullopt;
}

// What the backup records for a preference's current value; nothing when the
// backup cannot hold that value exactly, so the preference must be left alone.
std::optional<StoredValue> storedValueOf(const PreferenceKey& key,
                                         const std::optional<PreferenceValue>& current) {
  StoredValue stored{key, false, std::nullopt, std::nullopt};
  if (!current) return stored;
  if (const auto* truth = std::get_if<bool>(&*current)) {
    stored.existed = true;
    stored.boolValue = *truth;
    return stored;
  }
  const std::optional<std::int64_t> number = wholeNumber(*current);
  if (!number) return std::nullopt;
  stored.existed = true;
  stored.intValue = *number;
  return stored;
}

// The value to put back; nothing removes the preference.
std::optional<PreferenceValue> restoredValueOf(const StoredValue& stored) {
  if (stored.existed && stored.boolValue) return PreferenceValue{*stored.boolValue};
  if (stored.existed && stored.intValue) return PreferenceValue{*stored.intValue};
  return std::nullopt;
}

std::span<const std::uint8_t> bytesOf(const std::string& text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

}  // namespace

TrackpadGestureLock::TrackpadGestureLock(std::string backupDefaultsKey,
                                         std::vector<PreferenceOverride> overrides,
                                         PreferenceStore& preferences, UserDefaults& userDefaults,
                                         DistributedNotifications& notifications)
    : backupDefaultsKey_(std::move(backupDefaultsKey)),
      overrides_(std::move(overrides)),
      preferences_(preferences),
      userDefaults_(userDefaults),
      notifications_(notifications) {}

void TrackpadGestureLock::lock() {
  // Anything under the key, readable or not, means the override is in force
  // (or stuck): the first backup is never replaced.
  if (!userDefaults_.dataForKey(backupDefaultsKey_).isMissing()) return;

  std::vector<StoredValue> backup;
  std::vector<const PreferenceOverride*> rowsToDisable;
  backup.reserve(overrides_.size());
  rowsToDisable.reserve(overrides_.size());
  for (const PreferenceOverride& row : overrides_) {
    const auto current = preferences_.copyValue(row.key.key, preferenceAddress(row.key));
    std::optional<StoredValue> stored = storedValueOf(row.key, current);
    if (!stored) continue;
    backup.push_back(std::move(*stored));
    rowsToDisable.push_back(&row);
  }

  if (!storeVerified(backupDefaultsKey_, bytesOf(encodeBackup(backup)))) {
    userDefaults_.removeObject(backupDefaultsKey_);  // lost or damaged: never leave it stuck
    return;
  }
  for (const PreferenceOverride* row : rowsToDisable) {
    preferences_.setValue(row->key.key, row->disabledValue, preferenceAddress(row->key));
  }
  synchronizeDomains();
  notifyPreferenceChange();
}

GestureRestore TrackpadGestureLock::unlock() {
  const StoredData data = userDefaults_.dataForKey(backupDefaultsKey_);
  if (data.unreadable) return GestureRestore::NotPutBack;  // tried again later
  if (!data.bytes) return GestureRestore::NothingToRestore;
  const std::optional<std::vector<StoredValue>> backup = decodeBackup(*data.bytes);
  if (!backup) return GestureRestore::Unreadable;  // left for the user to decide

  for (const StoredValue& stored : *backup) {
    preferences_.setValue(stored.key.key, restoredValueOf(stored), preferenceAddress(stored.key));
  }
  synchronizeDomains();
  // A store that dropped a write (its service gone, a full disk) must not
  // cost the user the only record of their settings.
  const bool allBack =
      std::ranges::all_of(*backup, [this](const StoredValue& stored) { return readsBack(stored); });
  if (allBack) userDefaults_.removeObject(backupDefaultsKey_);
  notifyPreferenceChange();
  return allBack ? GestureRestore::Restored : GestureRestore::NotPutBack;
}

bool TrackpadGestureLock::resetAfterUnreadableBackup() {
  const StoredData data = userDefaults_.dataForKey(backupDefaultsKey_);
  if (!data.bytes || !storeVerified(backupDefaultsKey_ + kUnreadableBackupSuffix, *data.bytes)) {
    return false;
  }
  for (const PreferenceOverride& row : overrides_) {
    preferences_.setValue(row.key.key, std::nullopt, preferenceAddress(row.key));
  }
  synchronizeDomains();
  userDefaults_.removeObject(backupDefaultsKey_);
  notifyPreferenceChange();
  return true;
}

void TrackpadGestureLock::synchronizeDomains() {
  std::vector<std::string> domains;
  for (const PreferenceOverride& row : overrides_) {
    if (std::ranges::find(domains, row.key.domain) == domains.end()) {
      domains.push_back(row.key.domain);
    }
  }
  for (const std::string& domain : domains) {
    preferences_.synchronize(preferenceAddress(domain, false));
    preferences_.synchronize(preferenceAddress(domain, true));
  }
}

void TrackpadGestureLock::notifyPreferenceChange() {
  for (const char* name : kPreferenceChangeNotifications) notifications_.post(name);
}

bool TrackpadGestureLock::storeVerified(const std::string& key,
                                        std::span<const std::uint8_t> data) {
  userDefaults_.setData(key, data);
  if (!userDefaults_.synchronize()) return false;
  const StoredData kept = userDefaults_.dataForKey(key);
  return kept.bytes && std::ranges::equal(*kept.bytes, data);
}

// A value the store can no longer hold at all (its schema gone, its type
// changed) counts as put back: it never can be, and a backup kept for it
// would stop every later lock and write old values over the user's later ones.
bool TrackpadGestureLock::readsBack(const StoredValue& stored) {
  const std::optional<PreferenceValue> saved = restoredValueOf(stored);
  const PreferenceAddress address = preferenceAddress(stored.key);
  if (!preferences_.canHold(stored.key.key, saved, address)) return true;
  const std::optional<PreferenceValue> now = preferences_.copyValue(stored.key.key, address);
  if (!saved || !now) return !saved && !now;
  if (const auto* truth = std::get_if<bool>(&*saved)) {
    const auto* nowTruth = std::get_if<bool>(&*now);
    return nowTruth != nullptr && *nowTruth == *truth;
  }
  return wholeNumber(*now) == std::get<std::int64_t>(*saved);
}

}  // namespace hushpad
