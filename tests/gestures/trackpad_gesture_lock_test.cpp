#include "gestures/trackpad_gesture_lock.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "fakes/fake_preferences.h"
#include "gesture_test_support.h"
#include "gestures/backup_codec.h"
#include "gestures/overrides_table.h"

namespace hushpad {
namespace {

using fakes::CallLog;
using fakes::FakeDistributedNotifications;
using fakes::FakePreferenceStore;
using fakes::FakeUserDefaults;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kBackupKey = "TrackpadGestureLock.backup.v1";
const std::string kMultitouch = "com.apple.AppleMultitouchTrackpad";
const PreferenceKey kDrag{kMultitouch, "TrackpadThreeFingerDrag", false};
const PreferenceKey kDragCurrentHost{kMultitouch, "TrackpadThreeFingerDrag", true};
const PreferenceKey kGlobalSwipe{"NSGlobalDomain", "AppleEnableSwipeNavigateWithScrolls", false};

const std::vector<std::string> kNotificationLines{
    "post com.apple.systempreferences.trackpad.changed",
    "post com.apple.systempreferences.trackpadEnableSecondaryClick",
    "post com.apple.systempreferences.trackpad.scrolling",
    "post com.apple.trackpad.prefschanged",
};

class TrackpadGestureLockTest : public ::testing::Test {
 protected:
  std::shared_ptr<CallLog> log = std::make_shared<CallLog>();
  FakePreferenceStore preferences{log};
  FakeUserDefaults defaults{log};
  FakeDistributedNotifications notifications{log};
  TrackpadGestureLock gestureLock{kBackupKey, makeTrackpadOverridesTable(), preferences, defaults,
                                  notifications};

  void put(const PreferenceKey& key, PreferenceValue value) {
    preferences.put(key.key, preferenceAddress(key), value);
  }
  std::optional<PreferenceValue> valueOf(const PreferenceKey& key) const {
    return preferences.value(key.key, preferenceAddress(key));
  }
  std::vector<StoredValue> storedBackup() const {
    const std::optional<Bytes> data = defaults.data(kBackupKey);
    if (!data) return {};
    return decodeBackup(*data).value_or(std::vector<StoredValue>{});
  }
  std::optional<StoredValue> backupEntryFor(const PreferenceKey& key) const {
    for (const StoredValue& stored : storedBackup()) {
      if (stored.key == key) return stored;
    }
    return std::nullopt;
  }
  // The "set" lines that name this preference.
  std::vector<std::string> writesTo(const PreferenceKey& key) const {
    return log->startingWith("set " + fakes::describe(preferenceAddress(key)) + " " + key.key +
                             " ");
  }
  // Gives every row of the table a value of its own: booleans, numbers in and
  // beyond 32 bits, and no value.
  void fillEveryRow() {
    const auto table = makeTrackpadOverridesTable();
    for (std::size_t i = 0; i < table.size(); ++i) {
      switch (i % 4) {
        case 0:
          put(table[i].key, i % 8 == 0);
          break;
        case 1:
          put(table[i].key, static_cast<std::int64_t>(i) * 1'000'000'007 - 70'000'000'000);
          break;
        case 2:
          break;
        default:
          put(table[i].key, std::int64_t{-1});
          break;
      }
    }
  }
};

// The flushes of the table's three domains, then the four notifications.
std::vector<std::string> flushAndNotifyLines() {
  std::vector<std::string> lines{
      "synchronize any-app/any-host",
      "synchronize any-app/current-host",
      "synchronize com.apple.AppleMultitouchTrackpad/any-host",
      "synchronize com.apple.AppleMultitouchTrackpad/current-host",
      "synchronize com.apple.driver.AppleBluetoothMultitouch.trackpad/any-host",
      "synchronize com.apple.driver.AppleBluetoothMultitouch.trackpad/current-host",
  };
  lines.insert(lines.end(), kNotificationLines.begin(), kNotificationLines.end());
  return lines;
}

std::vector<std::string> slice(const std::vector<std::string>& lines, std::size_t from,
                               std::size_t count) {
  if (from + count > lines.size()) return {};
  return {lines.begin() + static_cast<std::ptrdiff_t>(from),
          lines.begin() + static_cast<std::ptrdiff_t>(from + count)};
}

bool allStartWith(const std::vector<std::string>& lines, const std::string& prefix) {
  return std::ranges::all_of(lines, [&](const auto& line) { return line.starts_with(prefix); });
}

// ---- lock()

TEST_F(TrackpadGestureLockTest, LockBacksUpEveryRowThenWritesTheDisabledValues) {
  put(kDrag, true);
  gestureLock.lock();

  EXPECT_EQ(storedBackup().size(), 136u);
  EXPECT_EQ(backupEntryFor(kDrag), (StoredValue{kDrag, true, true, std::nullopt}));
  EXPECT_EQ(valueOf(kDrag), PreferenceValue{std::int64_t{0}});
  EXPECT_EQ(valueOf(kGlobalSwipe), PreferenceValue{false});

  // Check for a backup, read all 136, store the backup and read it back, write
  // all 136, flush, notify.
  const auto& lines = log->lines();
  ASSERT_EQ(lines.size(), 1 + 136 + 2 + 136 + 10u);
  EXPECT_EQ(lines[0], "dataForKey TrackpadGestureLock.backup.v1");
  EXPECT_TRUE(allStartWith(slice(lines, 1, 136), "copy "));
  EXPECT_THAT(slice(lines, 137, 2), ElementsAre("setData TrackpadGestureLock.backup.v1",
                                                "dataForKey TrackpadGestureLock.backup.v1"));
  EXPECT_TRUE(allStartWith(slice(lines, 139, 136), "set "));
  EXPECT_EQ(slice(lines, 275, 10), flushAndNotifyLines());
}

TEST_F(TrackpadGestureLockTest, GlobalDomainIsAddressedAsAnyApplication) {
  gestureLock.lock();
  EXPECT_THAT(writesTo(kGlobalSwipe),
              ElementsAre("set any-app/any-host AppleEnableSwipeNavigateWithScrolls = false"));
  for (const std::string& line : log->lines()) {
    EXPECT_EQ(line.find("NSGlobalDomain"), std::string::npos) << line;
  }
}

TEST_F(TrackpadGestureLockTest, MissingValueIsRecordedAsAbsentAndRemovedAgainOnUnlock) {
  gestureLock.lock();
  EXPECT_EQ(backupEntryFor(kDrag), (StoredValue{kDrag, false, std::nullopt, std::nullopt}));
  EXPECT_EQ(valueOf(kDrag), PreferenceValue{std::int64_t{0}});

  gestureLock.unlock();
  EXPECT_EQ(valueOf(kDrag), std::nullopt);
  EXPECT_THAT(preferences.all(), IsEmpty());
}

class NumberRestore : public TrackpadGestureLockTest,
                      public ::testing::WithParamInterface<std::int64_t> {};

TEST_P(NumberRestore, IsBackedUpAndRestoredExactly) {
  put(kDrag, GetParam());
  gestureLock.lock();
  EXPECT_EQ(backupEntryFor(kDrag), (StoredValue{kDrag, true, std::nullopt, GetParam()}));
  gestureLock.unlock();
  EXPECT_EQ(valueOf(kDrag), PreferenceValue{GetParam()});
}

INSTANTIATE_TEST_SUITE_P(Integers, NumberRestore,
                         ::testing::Values(-1, 0, 2, std::int64_t{1} << 32,
                                           std::int64_t{std::numeric_limits<std::int32_t>::min()} -
                                               1,
                                           std::numeric_limits<std::int64_t>::min(),
                                           std::numeric_limits<std::int64_t>::max()));

TEST_F(TrackpadGestureLockTest, WholeRealNumberIsRecordedAsAnInteger) {
  put(kDrag, 3.0);
  put(kDragCurrentHost, -1e18);
  gestureLock.lock();
  gestureLock.unlock();
  EXPECT_EQ(valueOf(kDrag), PreferenceValue{std::int64_t{3}});
  EXPECT_EQ(valueOf(kDragCurrentHost), PreferenceValue{std::int64_t{-1'000'000'000'000'000'000}});
}

TEST_F(TrackpadGestureLockTest, HostCopiesAreBackedUpWrittenAndRestoredSeparately) {
  put(kDrag, true);
  put(kDragCurrentHost, std::int64_t{2});
  gestureLock.lock();

  EXPECT_EQ(backupEntryFor(kDrag), (StoredValue{kDrag, true, true, std::nullopt}));
  EXPECT_EQ(backupEntryFor(kDragCurrentHost),
            (StoredValue{kDragCurrentHost, true, std::nullopt, 2}));
  EXPECT_EQ(writesTo(kDrag).size(), 1u);
  EXPECT_EQ(writesTo(kDragCurrentHost).size(), 1u);

  gestureLock.unlock();
  EXPECT_EQ(valueOf(kDrag), PreferenceValue{true});
  EXPECT_EQ(valueOf(kDragCurrentHost), PreferenceValue{std::int64_t{2}});
}

TEST_F(TrackpadGestureLockTest, SecondLockKeepsTheFirstBackupAndWritesNothing) {
  put(kDrag, true);
  gestureLock.lock();
  const auto firstBackup = defaults.dataText(kBackupKey);
  log->clear();

  gestureLock.lock();
  EXPECT_THAT(log->lines(), ElementsAre("dataForKey TrackpadGestureLock.backup.v1"));
  EXPECT_EQ(defaults.dataText(kBackupKey), firstBackup);
  EXPECT_EQ(backupEntryFor(kDrag), (StoredValue{kDrag, true, true, std::nullopt}));
}

TEST_F(TrackpadGestureLockTest, FullCycleLeavesTheStoreExactlyAsItWas) {
  fillEveryRow();
  preferences.put("Unrelated", {kMultitouch, false}, 1.25);
  const auto before = preferences.all();

  gestureLock.lock();
  EXPECT_NE(preferences.all(), before);
  gestureLock.unlock();

  EXPECT_EQ(preferences.all(), before);
  EXPECT_FALSE(defaults.contains(kBackupKey));
}

// ---- Values the backup cannot hold

struct UnrecordableCase {
  const char* name;
  PreferenceValue value;
  friend void PrintTo(const UnrecordableCase& c, std::ostream* out) { *out << c.name; }
};

class UnrecordableValue : public TrackpadGestureLockTest,
                          public ::testing::WithParamInterface<UnrecordableCase> {};

TEST_P(UnrecordableValue, IsLeftUntouchedThroughAWholeCycle) {
  const PreferenceValue original = GetParam().value;
  put(kDrag, original);

  gestureLock.lock();
  EXPECT_EQ(storedBackup().size(), 135u);
  EXPECT_EQ(backupEntryFor(kDrag), std::nullopt);
  gestureLock.unlock();

  EXPECT_THAT(writesTo(kDrag), IsEmpty());
  const std::optional<PreferenceValue> after = valueOf(kDrag);
  ASSERT_TRUE(after.has_value());
  // Compare texts so that NaN equals itself.
  EXPECT_EQ(fakes::describe(after), fakes::describe(original));
  EXPECT_EQ(after->index(), original.index());
  // The rest of the table went through the cycle as usual.
  EXPECT_EQ(writesTo(kDragCurrentHost).size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(
    NotBooleansOrWholeNumbers, UnrecordableValue,
    ::testing::Values(UnrecordableCase{"Text", UnsupportedValue{}},
                      UnrecordableCase{"Fraction", 1.5},
                      UnrecordableCase{"NegativeFraction", -0.25},
                      UnrecordableCase{"NaN", std::nan("")},
                      UnrecordableCase{"Infinity", std::numeric_limits<double>::infinity()},
                      UnrecordableCase{"MinusInfinity", -std::numeric_limits<double>::infinity()},
                      UnrecordableCase{"AboveInt64", 9223372036854775808.0},
                      UnrecordableCase{"BelowInt64", -1e19}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- When the backup cannot be kept

TEST_F(TrackpadGestureLockTest, BackupThatIsNotKeptMeansNoDisabledValues) {
  put(kDrag, true);
  defaults.dropDataWrites = true;
  gestureLock.lock();

  EXPECT_EQ(log->count("setData"), 1u);
  EXPECT_EQ(log->count("set "), 0u);
  EXPECT_EQ(log->count("synchronize"), 0u);
  EXPECT_THAT(notifications.posted, IsEmpty());
  EXPECT_EQ(valueOf(kDrag), PreferenceValue{true});
}

TEST_F(TrackpadGestureLockTest, BackupNotKeptOverATextLeavesTheText) {
  defaults.putText(kBackupKey, "left by someone");
  defaults.dropDataWrites = true;
  gestureLock.lock();

  EXPECT_EQ(defaults.text(kBackupKey), "left by someone");
  EXPECT_EQ(log->count("set "), 0u);
  EXPECT_THAT(notifications.posted, IsEmpty());
}

TEST_F(TrackpadGestureLockTest, RefusedPreferenceWritesStillLeaveTheBackupForUnlock) {
  put(kDrag, true);
  preferences.refuseWrites = true;
  gestureLock.lock();
  EXPECT_EQ(storedBackup().size(), 136u);
  EXPECT_EQ(notifications.posted.size(), 4u);

  preferences.refuseWrites = false;
  gestureLock.unlock();
  EXPECT_EQ(valueOf(kDrag), PreferenceValue{true});
  EXPECT_FALSE(defaults.contains(kBackupKey));
}

// ---- unlock()

TEST_F(TrackpadGestureLockTest, UnlockWithoutBackupDoesNothing) {
  gestureLock.unlock();
  EXPECT_THAT(log->lines(), ElementsAre("dataForKey TrackpadGestureLock.backup.v1"));
}

TEST_F(TrackpadGestureLockTest, UnlockWithEmptyBackupFlushesRemovesAndNotifies) {
  defaults.putData(kBackupKey, "[]");
  gestureLock.unlock();

  std::vector<std::string> expected{"dataForKey TrackpadGestureLock.backup.v1"};
  const auto flushAndNotify = flushAndNotifyLines();
  expected.insert(expected.end(), flushAndNotify.begin(), flushAndNotify.begin() + 6);
  expected.push_back("removeObject TrackpadGestureLock.backup.v1");
  expected.insert(expected.end(), kNotificationLines.begin(), kNotificationLines.end());
  EXPECT_EQ(log->lines(), expected);
  EXPECT_FALSE(defaults.contains(kBackupKey));
}

TEST_F(TrackpadGestureLockTest, UndecodableBackupIsLeftAloneAndBlocksLaterLocks) {
  put(kDrag, true);
  defaults.putData(kBackupKey, R"([{"key":{"domain":"d","key":"k"},"existed":false}])");

  gestureLock.unlock();
  gestureLock.lock();
  gestureLock.unlock();

  EXPECT_THAT(log->lines(), ElementsAre("dataForKey TrackpadGestureLock.backup.v1",
                                        "dataForKey TrackpadGestureLock.backup.v1",
                                        "dataForKey TrackpadGestureLock.backup.v1"));
  EXPECT_EQ(defaults.dataText(kBackupKey), R"([{"key":{"domain":"d","key":"k"},"existed":false}])");
  EXPECT_EQ(valueOf(kDrag), PreferenceValue{true});
}

TEST_F(TrackpadGestureLockTest, TextUnderTheKeyIsIgnoredByUnlockAndReplacedByLock) {
  defaults.putText(kBackupKey, "not data");
  gestureLock.unlock();
  EXPECT_THAT(log->lines(), ElementsAre("dataForKey TrackpadGestureLock.backup.v1"));
  EXPECT_EQ(defaults.text(kBackupKey), "not data");

  gestureLock.lock();
  EXPECT_EQ(storedBackup().size(), 136u);
  EXPECT_EQ(log->count("set "), 136u);
}

TEST_F(TrackpadGestureLockTest, UnlockRestoresEveryEntryOfTheBackupEvenOutsideTheTable) {
  const PreferenceKey elsewhere{"com.example.other", "Elsewhere", true};
  const PreferenceKey both{"com.example.other", "Both", false};
  const PreferenceKey neither{"com.example.other", "Neither", false};
  const PreferenceKey intOnly{"NSGlobalDomain", "IntOnly", false};
  put(neither, std::int64_t{0});
  defaults.putData(kBackupKey, encodeBackup({{elsewhere, true, std::nullopt, 9},
                                             {both, true, false, 5},
                                             {neither, true, std::nullopt, std::nullopt},
                                             {intOnly, true, std::nullopt, -7},
                                             {kDrag, false, true, 1}}));
  put(kDrag, std::int64_t{0});
  gestureLock.unlock();

  EXPECT_THAT(log->startingWith("set "),
              ElementsAre("set com.example.other/current-host Elsewhere = 9",
                          "set com.example.other/any-host Both = false",
                          "set com.example.other/any-host Neither = removed",
                          "set any-app/any-host IntOnly = -7",
                          "set com.apple.AppleMultitouchTrackpad/any-host TrackpadThreeFingerDrag "
                          "= removed"));
  // Only the table's domains are flushed.
  EXPECT_EQ(log->count("synchronize"), 6u);
  EXPECT_EQ(log->count("synchronize com.example.other"), 0u);
  EXPECT_EQ(preferences.all().size(), 3u);
}

// ---- A crash while locked

TEST_F(TrackpadGestureLockTest, NewLockAfterACrashKeepsOffAndThenRestoresTheFirstValues) {
  fillEveryRow();
  const auto original = preferences.all();
  {
    TrackpadGestureLock crashed{kBackupKey, makeTrackpadOverridesTable(), preferences, defaults,
                                notifications};
    crashed.lock();
  }  // never unlocked
  const auto whileLocked = preferences.all();
  const auto backupText = defaults.dataText(kBackupKey);
  ASSERT_TRUE(backupText.has_value());
  log->clear();

  TrackpadGestureLock restarted{kBackupKey, makeTrackpadOverridesTable(), preferences, defaults,
                                notifications};
  restarted.lock();
  EXPECT_THAT(log->lines(), ElementsAre("dataForKey TrackpadGestureLock.backup.v1"));
  EXPECT_EQ(preferences.all(), whileLocked);
  EXPECT_EQ(defaults.dataText(kBackupKey), backupText);

  restarted.unlock();
  EXPECT_EQ(preferences.all(), original);
  EXPECT_FALSE(defaults.contains(kBackupKey));
}

}  // namespace
}  // namespace hushpad
