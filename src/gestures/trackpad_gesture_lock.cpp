#include "gestures/trackpad_gesture_lock.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <iterator>
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

// Whether a preference holds expected (nothing: no value); numbers compare as
// whole numbers, whatever their kind.
bool holds(const std::optional<PreferenceValue>& now,
           const std::optional<PreferenceValue>& expected) {
  if (!expected || !now) return !expected && !now;
  if (const auto* truth = std::get_if<bool>(&*expected)) {
    const auto* nowTruth = std::get_if<bool>(&*now);
    return nowTruth != nullptr && *nowTruth == *truth;
  }
  const std::optional<std::int64_t> number = wholeNumber(*expected);
  return number && wholeNumber(*now) == number;
}

void recordLockedValue(StoredValue& stored, const PreferenceValue& locked) {
  stored.lockedBoolValue.reset();
  stored.lockedIntValue.reset();
  if (const auto* truth = std::get_if<bool>(&locked)) stored.lockedBoolValue = *truth;
  else stored.lockedIntValue = wholeNumber(locked);
}

}  // namespace

TrackpadGestureLock::TrackpadGestureLock(std::string backupDefaultsKey,
                                         std::vector<PreferenceOverride> overrides,
                                         PreferenceStore& preferences, UserDefaults& userDefaults,
                                         DistributedNotifications& notifications)
    : TrackpadGestureLock(
          std::move(backupDefaultsKey),
          OverridesSource([table = std::move(overrides)] { return table; }), preferences,
          userDefaults, notifications) {}

TrackpadGestureLock::TrackpadGestureLock(std::string backupDefaultsKey, OverridesSource overrides,
                                         PreferenceStore& preferences, UserDefaults& userDefaults,
                                         DistributedNotifications& notifications)
    : backupDefaultsKey_(std::move(backupDefaultsKey)),
      source_(std::move(overrides)),
      overrides_(source_()),
      preferences_(preferences),
      userDefaults_(userDefaults),
      notifications_(notifications) {
  preferences_.setPreferencesChangedHandler([this] { preferencesChanged(); });
}

TrackpadGestureLock::~TrackpadGestureLock() { preferences_.setPreferencesChangedHandler(nullptr); }

void TrackpadGestureLock::lock() {
  if (inForce_) return;
  inForce_ = switchOff(/*onlyNewRows=*/false);
}

void TrackpadGestureLock::preferencesChanged() {
  if (inForce_) {
    static_cast<void>(switchOff(/*onlyNewRows=*/true));
    return;
  }
  const StoredData data = userDefaults_.dataForKey(backupDefaultsKey_);
  if (!data.bytes) return;
  if (const std::optional<std::vector<StoredValue>> backup = decodeBackup(*data.bytes)) {
    static_cast<void>(restore(*data.bytes, *backup));  // nothing to tell: nobody asked
  }
}

bool TrackpadGestureLock::switchOff(bool onlyNewRows) {
  overrides_ = source_();
  // Damaged or impossible to read: left for the user to decide, unchanged.
  const StoredData data = userDefaults_.dataForKey(backupDefaultsKey_);
  if (data.unreadable) return false;
  std::vector<StoredValue> waiting;
  if (data.bytes) {
    std::optional<std::vector<StoredValue>> decoded = decodeBackup(*data.bytes);
    if (!decoded) return false;
    waiting = std::move(*decoded);
  }

  std::vector<StoredValue> backup;
  std::vector<const PreferenceOverride*> rowsToDisable;
  backup.reserve(overrides_.size() + waiting.size());
  rowsToDisable.reserve(overrides_.size());
  for (const PreferenceOverride& row : overrides_) {
    const auto earlier = std::ranges::find(waiting, row.key, &StoredValue::key);
    if (earlier != waiting.end() && onlyNewRows) continue;  // switched off already
    const auto current = preferences_.copyValue(row.key.key, preferenceAddress(row.key));
    std::optional<StoredValue> stored = storedValueOf(row.key, current);
    if (earlier != waiting.end()) {
      // Still what the lock left there: the saved value is still the user's.
      // Set since: the user's newer value replaces it. Not readable now: the
      // entry waits as it is, and the preference is left alone.
      const std::optional<PreferenceValue> locked = lockedValueFor(*earlier);
      if (!locked || holds(current, locked)) stored = *earlier;
      if (!stored) continue;
      waiting.erase(earlier);
    }
    if (!stored) continue;
    recordLockedValue(*stored, row.disabledValue);
    backup.push_back(std::move(*stored));
    rowsToDisable.push_back(&row);
  }
  if (onlyNewRows && rowsToDisable.empty()) return false;
  // Entries of preferences not offered now (a touchpad unplugged) stay as they are.
  std::ranges::move(waiting, std::back_inserter(backup));

  if (!storeVerified(backupDefaultsKey_, bytesOf(encodeBackup(backup)))) {
    // Never left damaged, and never at the cost of entries still waiting.
    if (data.bytes) replaceBackup({}, *data.bytes);
    else userDefaults_.removeObject(backupDefaultsKey_);
    return false;
  }
  for (const PreferenceOverride* row : rowsToDisable) {
    preferences_.setValue(row->key.key, row->disabledValue, preferenceAddress(row->key));
  }
  synchronizeDomains();
  notifyPreferenceChange();
  return true;
}

GestureRestore TrackpadGestureLock::unlock() {
  const StoredData data = userDefaults_.dataForKey(backupDefaultsKey_);
  if (data.unreadable) return GestureRestore::NotPutBack;  // tried again later
  if (!data.bytes) {
    inForce_ = false;
    return GestureRestore::NothingToRestore;
  }
  const std::optional<std::vector<StoredValue>> backup = decodeBackup(*data.bytes);
  if (!backup) return GestureRestore::Unreadable;  // left for the user to decide
  inForce_ = false;
  return restore(*data.bytes, *backup);
}

GestureRestore TrackpadGestureLock::restore(const Bytes& data,
                                            const std::vector<StoredValue>& backup) {
  enum class Fate { Dropped, Kept, Written };
  std::vector<Fate> fates(backup.size(), Fate::Kept);
  bool wrote = false;
  for (std::size_t i = 0; i < backup.size(); ++i) {
    const StoredValue& stored = backup[i];
    const std::optional<PreferenceValue> saved = restoredValueOf(stored);
    const PreferenceAddress address = preferenceAddress(stored.key);
    switch (preferences_.reach(stored.key.key, saved, address)) {
      case PreferenceReach::Never:
        fates[i] = Fate::Dropped;
        continue;
      case PreferenceReach::NotNow:
        continue;
      case PreferenceReach::Now:
        break;
    }
    // A value set since the lock is the user's newer choice.
    if (const std::optional<PreferenceValue> locked = lockedValueFor(stored);
        locked && !holds(preferences_.copyValue(stored.key.key, address), locked)) {
      fates[i] = Fate::Dropped;
      continue;
    }
    preferences_.setValue(stored.key.key, saved, address);
    fates[i] = Fate::Written;
    wrote = true;
  }
  if (wrote) synchronizeDomains();
  // A store that dropped a write (its service gone, a full disk) must not
  // cost the user the only record of that setting.
  std::vector<StoredValue> kept;
  bool notKept = false;
  for (std::size_t i = 0; i < backup.size(); ++i) {
    const StoredValue& stored = backup[i];
    if (fates[i] == Fate::Dropped) continue;
    if (fates[i] == Fate::Written) {
      if (readsBack(stored)) continue;
      // A store that cannot tell now (its service slow to answer) is asked
      // again later; one that can and did not keep the value has failed.
      notKept = notKept || preferences_.reach(stored.key.key, restoredValueOf(stored),
                                              preferenceAddress(stored.key)) !=
                               PreferenceReach::NotNow;
    }
    kept.push_back(stored);
  }
  if (kept.empty()) userDefaults_.removeObject(backupDefaultsKey_);
  else if (kept.size() != backup.size()) replaceBackup(kept, data);
  if (wrote) notifyPreferenceChange();
  if (kept.empty()) return GestureRestore::Restored;
  return notKept ? GestureRestore::NotPutBack : GestureRestore::Pending;
}

void TrackpadGestureLock::replaceBackup(const std::vector<StoredValue>& values,
                                        const Bytes& previous) {
  if (!values.empty() && storeVerified(backupDefaultsKey_, bytesOf(encodeBackup(values)))) return;
  // The whole earlier backup rather than a damaged one: its extra entries
  // are dropped at the next unlock as the user's values stand then.
  static_cast<void>(storeVerified(backupDefaultsKey_, previous));
}

std::optional<PreferenceValue> TrackpadGestureLock::lockedValueFor(
    const StoredValue& stored) const {
  if (stored.lockedBoolValue) return PreferenceValue{*stored.lockedBoolValue};
  if (stored.lockedIntValue) return PreferenceValue{*stored.lockedIntValue};
  const auto row = std::ranges::find(overrides_, stored.key, &PreferenceOverride::key);
  if (row == overrides_.end()) return std::nullopt;
  return row->disabledValue;
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

bool TrackpadGestureLock::readsBack(const StoredValue& stored) {
  return holds(preferences_.copyValue(stored.key.key, preferenceAddress(stored.key)),
               restoredValueOf(stored));
}

}  // namespace hushpad
