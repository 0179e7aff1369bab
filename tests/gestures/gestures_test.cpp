// The gesture lock: the backup's JSON form, the table of preferences it
// switches off, and TrackpadGestureLock over in-memory stores.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fakes/fake_preferences.h"
#include "gestures/backup_codec.h"
#include "gestures/overrides_table.h"
#include "gestures/trackpad_gesture_lock.h"

namespace hushpad {

namespace {

using Strings = std::vector<std::string>;

constexpr std::int64_t kInt64Min = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kInt64Max = std::numeric_limits<std::int64_t>::max();
const PreferenceKey kDrag{"com.apple.AppleMultitouchTrackpad", "TrackpadThreeFingerDrag", false};
const PreferenceKey kDragCurrentHost{kDrag.domain, kDrag.key, true};

std::vector<std::uint8_t> bytesOf(std::string_view text) { return {text.begin(), text.end()}; }

// ---- The backup's JSON form

const PreferenceKey kKey{"d", "k", true};

std::optional<std::vector<StoredValue>> decode(const std::string& text) {
  return decodeBackup(bytesOf(text));
}

// An element with kKey and the given members after it; a backup of that one
// element; a backup of one element whose key is key.
std::string element(const std::string& rest) {
  return R"({"key":{"domain":"d","key":"k","currentHostOnly":true},)" + rest + "}";
}
std::string withRest(const std::string& rest) { return "[" + element(rest) + "]"; }
std::string withKey(const std::string& key) { return R"([{"key":)" + key + R"(,"existed":true}])"; }

TEST(BackupEncoding, WritesTheTwoElementExampleExactly) {
  EXPECT_EQ(
      encodeBackup({{kDrag, true, true, std::nullopt},
                    {kDragCurrentHost, false, std::nullopt, std::nullopt}}),
      R"([{"key":{"domain":"com.apple.AppleMultitouchTrackpad","key":"TrackpadThreeFingerDrag",)"
      R"("currentHostOnly":false},"existed":true,"boolValue":true},)"
      R"({"key":{"domain":"com.apple.AppleMultitouchTrackpad","key":"TrackpadThreeFingerDrag",)"
      R"("currentHostOnly":true},"existed":false}])");
}

TEST(BackupEncoding, RoundTripGivesAnEqualListInOrder) {
  const std::vector<StoredValue> values{
      {kDrag, true, true, std::nullopt},
      {kDragCurrentHost, false, std::nullopt, std::nullopt},
      {{"NSGlobalDomain", "a", false}, true, std::nullopt, kInt64Min},
      {{"NSGlobalDomain", "a", true}, true, std::nullopt, kInt64Max},
      {{"x", "both", false}, true, false, -1},
      {{"\"quoted\\\" \n\t\x01 é ✓", std::string("nul\0inside", 10), true}, false, true, 0},
  };
  EXPECT_EQ(decodeBackup(bytesOf(encodeBackup(values))), values);
}

TEST(BackupDecoding, AcceptsOddFormsOfTheFormat) {
  const std::vector<std::pair<std::string, std::vector<StoredValue>>> cases{
      {"[]", {}},
      {withRest(R"("existed":true,"boolValue":null,"intValue":null)"),
       {{kKey, true, std::nullopt, std::nullopt}}},
      {withRest(R"("existed":true)"), {{kKey, true, std::nullopt, std::nullopt}}},
      {withRest(R"("existed":true,"boolValue":true,"intValue":3)"), {{kKey, true, true, 3}}},
      {R"([{"key":{"domain":"d","key":"k","currentHostOnly":true,"x":[1,{}]},)"
       R"("existed":true,"intValue":7,"note":"hi"}])",
       {{kKey, true, std::nullopt, 7}}},
      {R"([{"intValue":-5,"existed":true,"key":{"currentHostOnly":true,"key":"k","domain":"d"}}])",
       {{kKey, true, std::nullopt, -5}}},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(decode(text), expected) << text;
}

TEST(BackupDecoding, RefusesTheWholeBackupForAnyBadPart) {
  const std::string good = element(R"("existed":true)");
  const std::vector<std::string> cases{
      // Not JSON, not UTF-8, or not an array.
      "", "backup", "[", "[] x", "/* c */[]", "[\xff]", std::string(100'000, '['),
      std::string(100'000, '[') + std::string(100'000, ']'), "null", "1", good,
      withKey(R"({"domain":"\ud800","key":"k","currentHostOnly":true})"),
      withKey("{\"domain\":\"\xc3\",\"key\":\"k\",\"currentHostOnly\":true}"),
      // Elements that are not objects; one bad element spoils the rest.
      "[null]", "[[]]", "[" + good + ",{}]",
      // The nested key: missing, of the wrong type, or missing a member.
      R"([{"existed":true}])", withKey(R"("d.k")"), withKey("null"),
      withKey(R"({"key":"k","currentHostOnly":true})"),
      withKey(R"({"domain":"d","currentHostOnly":true})"), withKey(R"({"domain":"d","key":"k"})"),
      withKey(R"({"domain":1,"key":"k","currentHostOnly":true})"),
      withKey(R"({"domain":"d","key":"k","currentHostOnly":"true"})"),
      // existed, boolValue, intValue.
      withRest(R"("boolValue":true)"), withRest(R"("existed":1)"), withRest(R"("existed":null)"),
      withRest(R"("existed":true,"boolValue":1)"), withRest(R"("existed":true,"intValue":"5")"),
      withRest(R"("existed":true,"intValue":true)"), withRest(R"("existed":true,"intValue":1.5)"),
      withRest(R"("existed":true,"intValue":1.0)"), withRest(R"("existed":true,"intValue":1e3)"),
      withRest(R"("existed":true,"intValue":9223372036854775808)"),
      withRest(R"("existed":true,"intValue":-9223372036854775809)"),
      withRest(R"("existed":true,"intValue":18446744073709551616)"),
      // A NUL byte or anything but white space after the text; a member named twice.
      std::string("[]\0x", 4), std::string("[]\0", 3), "[" + good + "]" + std::string("\0junk", 5),
      "[] ]", withRest(R"("existed":1,"existed":true)"), withRest(R"("existed":true,"existed":true)"),
      withKey(R"({"domain":"d","key":"k","key":"k","currentHostOnly":true})")};
  for (const std::string& text : cases) {
    EXPECT_EQ(decode(text), std::nullopt) << text.substr(0, 200);
  }
}

// ---- The table of preferences switched off, and how they are addressed

PreferenceOverride row(const char* domain, const char* key, bool currentHost,
                       PreferenceValue disabled = std::int64_t{0}) {
  return {{domain, key, currentHost}, disabled};
}

// Both host copies of 22 gesture keys in three domains, then of two swipe
// navigation keys; only landmarks are checked here.
TEST(TrackpadOverridesTable, Has136RowsInTheirOrder) {
  const std::vector<PreferenceOverride> table = makeTrackpadOverridesTable();
  ASSERT_EQ(table.size(), 136u);
  EXPECT_EQ(table[0],
            row("NSGlobalDomain", "com.apple.trackpad.threeFingerHorizSwipeGesture", false));
  EXPECT_EQ(table[43], row("NSGlobalDomain", "TrackpadTwoFingerFromRightEdgeSwipeGesture", true));
  EXPECT_EQ(table[44], row("com.apple.AppleMultitouchTrackpad",
                           "com.apple.trackpad.threeFingerHorizSwipeGesture", false));
  EXPECT_EQ(table[131], row("com.apple.driver.AppleBluetoothMultitouch.trackpad",
                            "TrackpadTwoFingerFromRightEdgeSwipeGesture", true));
  EXPECT_EQ(table[135],
            row("NSGlobalDomain", "AppleEnableMouseSwipeNavigateWithScrolls", true, false));
  // Every gesture key, spelt as the system spells it: a misspelt one would stay on.
  const std::vector<std::string> keys{
      "com.apple.trackpad.threeFingerHorizSwipeGesture",
      "com.apple.trackpad.threeFingerVertSwipeGesture",
      "com.apple.trackpad.fourFingerHorizSwipeGesture",
      "com.apple.trackpad.fourFingerVertSwipeGesture",
      "com.apple.trackpad.fourFingerPinchSwipeGesture",
      "com.apple.trackpad.fiveFingerPinchSwipeGesture",
      "com.apple.trackpad.twoFingerFromRightEdgeSwipeGesture",
      "com.apple.trackpad.pinchGesture",
      "com.apple.trackpad.rotateGesture",
      "com.apple.trackpad.threeFingerTapGesture",
      "TrackpadFiveFingerPinchGesture",
      "TrackpadFourFingerHorizSwipeGesture",
      "TrackpadFourFingerPinchGesture",
      "TrackpadFourFingerVertSwipeGesture",
      "TrackpadPinch",
      "TrackpadRotate",
      "TrackpadThreeFingerDrag",
      "TrackpadThreeFingerHorizSwipeGesture",
      "TrackpadThreeFingerTapGesture",
      "TrackpadThreeFingerVertSwipeGesture",
      "TrackpadTwoFingerDoubleTapGesture",
      "TrackpadTwoFingerFromRightEdgeSwipeGesture"};
  for (std::size_t i = 0; i < 132; ++i) EXPECT_EQ(table[i].key.key, keys[i / 2 % 22]) << i;
}

// ---- TrackpadGestureLock

constexpr double kInfinity = std::numeric_limits<double>::infinity();
const std::string kBackupKey = "TrackpadGestureLock.backup.v1";
const std::string kReadBackup = "dataForKey " + kBackupKey;
const PreferenceKey kGlobalSwipe{"NSGlobalDomain", "AppleEnableSwipeNavigateWithScrolls", false};

// The log with each run of lines of one kind folded into one: "copy x136".
Strings runs(const fakes::CallLog& log) {
  std::vector<std::pair<std::string, int>> folded;
  for (const std::string& line : log) {
    const std::string kind = line.substr(0, line.find(' '));
    if (folded.empty() || folded.back().first != kind) folded.emplace_back(kind, 0);
    ++folded.back().second;
  }
  Strings out;
  for (const auto& [kind, n] : folded) out.push_back(kind + " x" + std::to_string(n));
  return out;
}

class GestureLockTest : public ::testing::Test {
 protected:
  GestureLockTest() { defaults.log = notifications.log = preferences.log; }

  TrackpadGestureLock makeLock() {
    return TrackpadGestureLock(kBackupKey, makeTrackpadOverridesTable(), preferences, defaults,
                               notifications);
  }
  fakes::CallLog& log() const { return *preferences.log; }
  std::size_t writesTo(const PreferenceKey& key) const {
    return fakes::count(log(),
                        "set " + fakes::describe(preferenceAddress(key)) + " " + key.key + " ");
  }
  void put(const PreferenceKey& key, PreferenceValue value) {
    preferences.put(key.key, preferenceAddress(key), value);
  }
  std::optional<PreferenceValue> valueOf(const PreferenceKey& key) const {
    return preferences.value(key.key, preferenceAddress(key));
  }
  std::optional<Bytes> storedBackup() const { return defaults.held<Bytes>(kBackupKey); }
  std::vector<StoredValue> backup() const {
    return decodeBackup(storedBackup().value_or(Bytes{})).value_or(std::vector<StoredValue>{});
  }
  std::optional<StoredValue> entryFor(const PreferenceKey& key) const {
    const std::vector<StoredValue> entries = backup();
    const auto found = std::ranges::find(entries, key, &StoredValue::key);
    return found == entries.end() ? std::nullopt : std::optional(*found);
  }

  fakes::FakePreferenceStore preferences;
  fakes::FakeUserDefaults defaults;
  fakes::FakeDistributedNotifications notifications;
  TrackpadGestureLock gestureLock = makeLock();
};

// The two host copies of one preference, a boolean and a number, and a
// preference that holds nothing.
TEST_F(GestureLockTest, LockBacksUpEveryRowBeforeWritingTheDisabledValuesAndUnlockRestores) {
  put(kDrag, true);
  put(kDragCurrentHost, std::int64_t{2});
  gestureLock.lock();

  EXPECT_EQ(runs(log()), (Strings{"dataForKey x1", "copy x136", "setData x1", "dataForKey x1",
                                  "set x136", "synchronize x6", "post x4"}));
  EXPECT_EQ(backup().size(), 136u);
  EXPECT_EQ(entryFor(kDrag), (StoredValue{kDrag, true, true, std::nullopt}));
  EXPECT_EQ(entryFor(kDragCurrentHost), (StoredValue{kDragCurrentHost, true, std::nullopt, 2}));
  EXPECT_EQ(entryFor(kGlobalSwipe), (StoredValue{kGlobalSwipe, false, std::nullopt, std::nullopt}));
  EXPECT_EQ(valueOf(kDrag), PreferenceValue{std::int64_t{0}});
  EXPECT_EQ(valueOf(kDragCurrentHost), PreferenceValue{std::int64_t{0}});
  // NSGlobalDomain is the domain of any application.
  EXPECT_EQ(fakes::count(log(), "set any-app/any-host " + kGlobalSwipe.key + " = false"), 1u);

  EXPECT_EQ(gestureLock.unlock(), GestureRestore::Restored);
  EXPECT_EQ(valueOf(kDrag), PreferenceValue{true});
  EXPECT_EQ(valueOf(kDragCurrentHost), PreferenceValue{std::int64_t{2}});
  EXPECT_EQ(preferences.values.size(), 2u);  // the preferences that held nothing are removed
  EXPECT_FALSE(defaults.entries.contains(kBackupKey));
}

// Whole numbers, even those that arrive as reals, are backed up and restored as
// integers; values the backup cannot hold are left untouched through a cycle.
TEST_F(GestureLockTest, WholeNumbersRoundTripAndOtherValuesAreLeftUntouched) {
  std::vector<std::pair<PreferenceValue, std::optional<std::int64_t>>> cases{
      {3.0, 3}, {-1e18, -1'000'000'000'000'000'000}};
  for (const std::int64_t n :
       {std::int64_t{-1}, std::int64_t{1} << 32, std::int64_t{-2147483649}, kInt64Min, kInt64Max}) {
    cases.emplace_back(n, n);
  }
  for (const PreferenceValue value :
       {PreferenceValue{UnsupportedValue{}}, PreferenceValue{1.5}, PreferenceValue{-0.25},
        PreferenceValue{std::nan("")}, PreferenceValue{kInfinity}, PreferenceValue{-kInfinity},
        PreferenceValue{9223372036854775808.0}, PreferenceValue{-1e19}}) {
    cases.emplace_back(value, std::nullopt);
  }
  for (const auto& [value, number] : cases) {
    SCOPED_TRACE(fakes::describe(value));
    put(kDrag, value);
    log().clear();
    gestureLock.lock();
    EXPECT_EQ(entryFor(kDrag), number
                                   ? std::optional(StoredValue{kDrag, true, std::nullopt, number})
                                   : std::nullopt);
    EXPECT_EQ(gestureLock.unlock(), GestureRestore::Restored);
    EXPECT_EQ(writesTo(kDrag), number ? 2u : 0u);
    EXPECT_EQ(writesTo(kDragCurrentHost), 2u);
    // Compared as texts, so that NaN equals itself.
    EXPECT_EQ(fakes::describe(valueOf(kDrag)),
              fakes::describe(number ? PreferenceValue{*number} : value));
  }
}

// A store that loses or damages the backup: no disabled value is written, and
// what was stored is taken away again, so that the next lock can try anew.
TEST_F(GestureLockTest, BackupThatIsNotKeptIntactMeansNoDisabledValuesAndNoEntry) {
  for (const auto fault : {&fakes::FakeUserDefaults::dropDataWrites,
                           &fakes::FakeUserDefaults::damageDataWrites}) {
    put(kDrag, true);
    defaults.*fault = true;
    log().clear();
    gestureLock.lock();

    EXPECT_EQ(runs(log()), (Strings{"dataForKey x1", "copy x136", "setData x1", "dataForKey x1",
                                    "removeObject x1"}));
    EXPECT_EQ(valueOf(kDrag), PreferenceValue{true});
    EXPECT_FALSE(defaults.entries.contains(kBackupKey));
    defaults.*fault = false;
  }
  gestureLock.lock();
  EXPECT_EQ(valueOf(kDrag), PreferenceValue{std::int64_t{0}});
}

TEST_F(GestureLockTest, UnlockWithoutABackupOnlyLooksForIt) {
  EXPECT_EQ(gestureLock.unlock(), GestureRestore::NothingToRestore);
  EXPECT_EQ(log(), Strings{kReadBackup});
}

// A value under the key that is not data is no backup: unlock ignores it and
// lock replaces it.
TEST_F(GestureLockTest, NonDataValueUnderTheKeyIsNoBackup) {
  put(kDrag, true);
  defaults.entries[kBackupKey] = true;
  EXPECT_EQ(gestureLock.unlock(), GestureRestore::NothingToRestore);
  EXPECT_EQ(log(), Strings{kReadBackup});

  gestureLock.lock();
  EXPECT_TRUE(defaults.held<Bytes>(kBackupKey));
  EXPECT_EQ(valueOf(kDrag), PreferenceValue{std::int64_t{0}});
}

TEST_F(GestureLockTest, UnlockWithAnEmptyBackupFlushesRemovesAndNotifies) {
  defaults.entries[kBackupKey] = bytesOf("[]");
  EXPECT_EQ(gestureLock.unlock(), GestureRestore::Restored);

  EXPECT_EQ(log(), (Strings{
                       kReadBackup,
                       "synchronize any-app/any-host",
                       "synchronize any-app/current-host",
                       "synchronize com.apple.AppleMultitouchTrackpad/any-host",
                       "synchronize com.apple.AppleMultitouchTrackpad/current-host",
                       "synchronize "
                       "com.apple.driver.AppleBluetoothMultitouch.trackpad/any-host",
                       "synchronize "
                       "com.apple.driver.AppleBluetoothMultitouch.trackpad/current-host",
                       "removeObject TrackpadGestureLock.backup.v1",
                       "post com.apple.systempreferences.trackpad.changed",
                       "post com.apple.systempreferences.trackpadEnableSecondaryClick",
                       "post com.apple.systempreferences.trackpad.scrolling",
                       "post com.apple.trackpad.prefschanged",
                   }));
}

// An undecodable backup is reported and left alone, and blocks later locks,
// until a reset: it keeps the unreadable copy, removes every preference of the
// table, flushes, removes the backup and notifies. A reset whose copy cannot be
// kept does nothing more.
TEST_F(GestureLockTest, UndecodableBackupIsLeftAloneUntilAResetThatKeepsACopy) {
  const std::string undecodable = R"([{"key":{"domain":"d","key":"k"},"existed":false}])";
  const std::string copyKey = kBackupKey + ".unreadable";
  put(kDrag, std::int64_t{0});
  defaults.entries[kBackupKey] = bytesOf(undecodable);
  defaults.entries[copyKey] = bytesOf("an older copy");

  EXPECT_EQ(gestureLock.unlock(), GestureRestore::Unreadable);
  gestureLock.lock();
  EXPECT_EQ(gestureLock.unlock(), GestureRestore::Unreadable);
  EXPECT_EQ(log(), Strings(3, kReadBackup));
  EXPECT_EQ(storedBackup(), bytesOf(undecodable));

  defaults.dropDataWrites = true;
  log().clear();
  EXPECT_FALSE(gestureLock.resetAfterUnreadableBackup());
  EXPECT_EQ(runs(log()), (Strings{"dataForKey x1", "setData x1", "dataForKey x1"}));
  EXPECT_EQ(storedBackup(), bytesOf(undecodable));

  defaults.dropDataWrites = false;
  log().clear();
  EXPECT_TRUE(gestureLock.resetAfterUnreadableBackup());
  EXPECT_EQ(runs(log()), (Strings{"dataForKey x1", "setData x1", "dataForKey x1", "set x136",
                                  "synchronize x6", "removeObject x1", "post x4"}));
  EXPECT_EQ(std::ranges::count_if(log(), [](const std::string& line) {
              return line.ends_with(" = removed");
            }), 136);
  EXPECT_EQ(defaults.held<Bytes>(copyKey), bytesOf(undecodable));
  EXPECT_FALSE(defaults.entries.contains(kBackupKey));
  EXPECT_TRUE(preferences.values.empty());
  EXPECT_FALSE(gestureLock.resetAfterUnreadableBackup());  // nothing left to reset

  gestureLock.lock();
  EXPECT_EQ(valueOf(kDrag), PreferenceValue{std::int64_t{0}});
}

TEST_F(GestureLockTest, UnlockRestoresEveryEntryOfTheBackupEvenOutsideTheTable) {
  const PreferenceKey other{"com.example.other", "Other", true};
  const PreferenceKey global{"NSGlobalDomain", "Both", false};
  put(other, std::int64_t{0});
  put(kDrag, std::int64_t{0});
  defaults.entries[kBackupKey] =
      bytesOf(encodeBackup({{other, true, std::nullopt, 9},
                            {global, true, false, 5},
                            {kDrag, false, true, 1},
                            {kDragCurrentHost, true, std::nullopt, std::nullopt}}));
  EXPECT_EQ(gestureLock.unlock(), GestureRestore::Restored);

  EXPECT_EQ(
      Strings(log().begin() + 1, log().begin() + 5),
      (Strings{"set com.example.other/current-host Other = 9", "set any-app/any-host Both = false",
               "set com.apple.AppleMultitouchTrackpad/any-host "
               "TrackpadThreeFingerDrag = removed",
               "set com.apple.AppleMultitouchTrackpad/current-host "
               "TrackpadThreeFingerDrag = "
               "removed"}));
  // Only the table's domains are flushed.
  EXPECT_EQ(runs(log()),
            (Strings{"dataForKey x1", "set x4", "synchronize x6", "removeObject x1", "post x4"}));
}

// The process dies while locked; the next one starts with a new lock object.
TEST_F(GestureLockTest, NewLockAfterACrashKeepsOffAndThenRestoresTheFirstValues) {
  const std::vector<PreferenceOverride> table = makeTrackpadOverridesTable();
  for (std::size_t i = 0; i + 1 < table.size(); i += 3) {  // a third of the rows hold nothing
    put(table[i].key, i % 2 == 0);
    put(table[i + 1].key, static_cast<std::int64_t>(i) * 1'000'000'007 - 70'000'000'000);
  }
  const auto original = preferences.values;
  gestureLock.lock();
  const auto whileLocked = preferences.values;
  const auto backupData = storedBackup();
  ASSERT_NE(whileLocked, original);
  log().clear();

  TrackpadGestureLock restarted = makeLock();
  restarted.lock();
  EXPECT_EQ(log(), Strings{kReadBackup});
  EXPECT_EQ(preferences.values, whileLocked);
  EXPECT_EQ(storedBackup(), backupData);

  EXPECT_EQ(restarted.unlock(), GestureRestore::Restored);
  EXPECT_EQ(preferences.values, original);
  EXPECT_FALSE(defaults.entries.contains(kBackupKey));
}

}  // namespace
}  // namespace hushpad
