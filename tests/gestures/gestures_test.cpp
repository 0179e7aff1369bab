// The gesture lock: the backup's JSON form, the table of preferences it
// switches off, and TrackpadGestureLock over in-memory stores.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string_view>

#include "fakes/null_platform.h"
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

// The two-element example exactly as the stored files have it; a round trip
// gives an equal list in order.
TEST(BackupEncoding, WritesTheExampleExactlyAndRoundTrips) {
  std::vector<StoredValue> values{{kDrag, true, true, std::nullopt},
                                  {kDragCurrentHost, false, std::nullopt, std::nullopt}};
  EXPECT_EQ(
      encodeBackup(values),
      R"([{"key":{"domain":"com.apple.AppleMultitouchTrackpad","key":"TrackpadThreeFingerDrag",)"
      R"("currentHostOnly":false},"existed":true,"boolValue":true},)"
      R"({"key":{"domain":"com.apple.AppleMultitouchTrackpad","key":"TrackpadThreeFingerDrag",)"
      R"("currentHostOnly":true},"existed":false}])");
  values.insert(
      values.end(),
      {{{"NSGlobalDomain", "a", false}, true, std::nullopt, kInt64Min},
       {{"NSGlobalDomain", "a", true}, true, std::nullopt, kInt64Max},
       {{"x", "both", false}, true, false, -1},
       {{"x", "locked", false}, true, true, std::nullopt, false, std::nullopt},
       {{"x", "locked", true}, false, std::nullopt, std::nullopt, std::nullopt, kInt64Min},
       {{"\"quoted\\\" \n\t\x01 é ✓", std::string("nul\0inside", 10), true}, false, true, 0}});
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
      "[] ]", withRest(R"("existed":1,"existed":true)"),
      withRest(R"("existed":true,"existed":true)"),
      withKey(R"({"domain":"d","key":"k","key":"k","currentHostOnly":true})")};
  for (const std::string& text : cases) {
    EXPECT_EQ(decode(text), std::nullopt) << text.substr(0, 200);
  }
}

// ---- The table of preferences switched off

// Both host copies of 22 gesture keys in each of three domains, switched off
// with 0, then of two swipe navigation keys of any application, switched off
// with false. Every key spelt as the system spells it: a misspelt one would stay on.
TEST(TrackpadOverridesTable, Has136RowsInTheirOrder) {
  const std::vector<PreferenceOverride> table = makeTrackpadOverridesTable();
  ASSERT_EQ(table.size(), 136u);
  const std::vector<std::string> domains{"NSGlobalDomain", "com.apple.AppleMultitouchTrackpad",
                                         "com.apple.driver.AppleBluetoothMultitouch.trackpad"};
  std::string keys;
  for (std::size_t i = 0; i < 136; ++i) {
    const bool swipe = i >= 132;
    const PreferenceKey key{domains[swipe ? 0 : i / 44], table[swipe ? i : i / 2 % 22 * 2].key.key,
                            i % 2 == 1};
    EXPECT_EQ(table[i], (PreferenceOverride{key, swipe ? PreferenceValue{false} : std::int64_t{0}}))
        << i;
    if (i % 2 == 0 && (i < 44 || swipe)) keys += key.key + " ";
  }
  EXPECT_EQ(
      keys,
      "com.apple.trackpad.threeFingerHorizSwipeGesture com.apple.trackpad.threeFingerVertSwipe"
      "Gesture com.apple.trackpad.fourFingerHorizSwipeGesture com.apple.trackpad.fourFinger"
      "VertSwipeGesture com.apple.trackpad.fourFingerPinchSwipeGesture com.apple.trackpad.five"
      "FingerPinchSwipeGesture com.apple.trackpad.twoFingerFromRightEdgeSwipeGesture com.apple"
      ".trackpad.pinchGesture com.apple.trackpad.rotateGesture com.apple.trackpad.threeFinger"
      "TapGesture TrackpadFiveFingerPinchGesture TrackpadFourFingerHorizSwipeGesture Trackpad"
      "FourFingerPinchGesture TrackpadFourFingerVertSwipeGesture TrackpadPinch TrackpadRotate "
      "TrackpadThreeFingerDrag TrackpadThreeFingerHorizSwipeGesture TrackpadThreeFingerTap"
      "Gesture TrackpadThreeFingerVertSwipeGesture TrackpadTwoFingerDoubleTapGesture Trackpad"
      "TwoFingerFromRightEdgeSwipeGesture AppleEnableSwipeNavigateWithScrolls AppleEnableMouse"
      "SwipeNavigateWithScrolls ");
}

// ---- TrackpadGestureLock

constexpr double kInfinity = std::numeric_limits<double>::infinity();
const std::string kBackupKey = "TrackpadGestureLock.backup.v1";
const std::string kReadBackup = "dataForKey " + kBackupKey;
const PreferenceKey kGlobalSwipe{"NSGlobalDomain", "AppleEnableSwipeNavigateWithScrolls", false};

// The kinds of call in the log, runs of one kind folded: "dataForKey copy*136".
// An entry put back, "reach copy set" (asked, looked at, written), folds to "restore".
std::string runs(const fakes::CallLog& input) {
  fakes::CallLog log;
  for (std::size_t i = 0; i < input.size(); ++i) {
    if (i + 2 < input.size() && input[i].starts_with("reach ") &&
        input[i + 1].starts_with("copy ") && input[i + 2].starts_with("set ")) {
      log.push_back("restore " + input[i + 2]);
      i += 2;
    } else {
      log.push_back(input[i]);
    }
  }
  std::string out;
  for (std::size_t i = 0, n = 1; i < log.size(); ++i, ++n) {
    const std::string kind = log[i].substr(0, log[i].find(' '));
    if (i + 1 < log.size() && log[i + 1].starts_with(kind + " ")) continue;
    out += (out.empty() ? "" : " ") + kind + (n > 1 ? "*" + std::to_string(n) : "");
    n = 0;
  }
  return out;
}

struct GestureLockTest : ::testing::Test, fakes::NullPlatform {
  TrackpadGestureLock makeLock() {
    return TrackpadGestureLock(kBackupKey, makeTrackpadOverridesTable(), *this, *this, *this);
  }
  std::size_t writesTo(const PreferenceKey& key) const {
    return fakes::count(log, "set " + fakes::slot(key.key, preferenceAddress(key)) + " ");
  }
  void put(const PreferenceKey& key, PreferenceValue v) {
    NullPlatform::put(key.key, preferenceAddress(key), v);
  }
  std::optional<PreferenceValue> valueOf(const PreferenceKey& key) const {
    return value(key.key, preferenceAddress(key));
  }
  std::optional<Bytes> storedBackup() const { return held<Bytes>(kBackupKey); }
  std::vector<StoredValue> backup() const {
    return decodeBackup(storedBackup().value_or(Bytes{})).value_or(std::vector<StoredValue>{});
  }
  // The entry's saved value, without what the lock wrote (lockedValueOf).
  std::optional<StoredValue> entryFor(const PreferenceKey& key) const {
    std::optional<StoredValue> entry = fullEntryFor(key);
    if (entry) {
      entry->lockedBoolValue.reset();
      entry->lockedIntValue.reset();
    }
    return entry;
  }
  std::optional<StoredValue> fullEntryFor(const PreferenceKey& key) const {
    const std::vector<StoredValue> stored = backup();
    const auto found = std::ranges::find(stored, key, &StoredValue::key);
    return found == stored.end() ? std::nullopt : std::optional(*found);
  }

  TrackpadGestureLock gestureLock = makeLock();
};

// The two host copies of one preference, a boolean and a number, and a
// preference that holds nothing. Before, an unlock only looks for a backup,
// and a value under its key that is not data is no backup.
TEST_F(GestureLockTest, LockBacksUpEveryRowBeforeWritingTheDisabledValuesAndUnlockRestores) {
  put(kDrag, true);
  put(kDragCurrentHost, std::int64_t{2});
  EXPECT_EQ(gestureLock.unlock(), GestureRestore::NothingToRestore);
  entries[kBackupKey] = true;
  EXPECT_EQ(gestureLock.unlock(), GestureRestore::NothingToRestore);
  EXPECT_EQ(log, Strings(2, kReadBackup));
  log.clear();
  gestureLock.lock();

  EXPECT_EQ(runs(log), "dataForKey copy*136 setData synchronizeDefaults dataForKey set*136 synchronize*6 post*4");
  EXPECT_EQ(backup().size(), 136u);
  EXPECT_EQ(entryFor(kDrag), (StoredValue{kDrag, true, true, std::nullopt}));
  EXPECT_EQ(entryFor(kDragCurrentHost), (StoredValue{kDragCurrentHost, true, std::nullopt, 2}));
  EXPECT_EQ(entryFor(kGlobalSwipe), (StoredValue{kGlobalSwipe, false, std::nullopt, std::nullopt}));
  // Each entry also says what the lock wrote in its place.
  EXPECT_EQ(fullEntryFor(kDrag)->lockedIntValue, 0);
  EXPECT_EQ(fullEntryFor(kGlobalSwipe)->lockedBoolValue, false);
  EXPECT_EQ(fullEntryFor(kGlobalSwipe)->lockedIntValue, std::nullopt);
  EXPECT_EQ(valueOf(kDrag), PreferenceValue{std::int64_t{0}});
  EXPECT_EQ(valueOf(kDragCurrentHost), PreferenceValue{std::int64_t{0}});
  // NSGlobalDomain is the domain of any application.
  EXPECT_EQ(fakes::count(log, "set any-app/any-host " + kGlobalSwipe.key + " = false"), 1u);

  log.clear();
  EXPECT_EQ(gestureLock.unlock(), GestureRestore::Restored);
  EXPECT_EQ(runs(log), "dataForKey restore*136 synchronize*6 copy*136 removeObject post*4");
  EXPECT_EQ(fakes::linesOf(log, "post"),
            (Strings{"post com.apple.systempreferences.trackpad.changed",
                     "post com.apple.systempreferences.trackpadEnableSecondaryClick",
                     "post com.apple.systempreferences.trackpad.scrolling",
                     "post com.apple.trackpad.prefschanged"}));
  EXPECT_EQ(valueOf(kDrag), PreferenceValue{true});
  EXPECT_EQ(valueOf(kDragCurrentHost), PreferenceValue{std::int64_t{2}});
  EXPECT_EQ(values.size(), 2u);  // the preferences that held nothing are removed
  EXPECT_FALSE(entries.contains(kBackupKey));
}

// Whole numbers, even those that arrive as reals, are backed up and restored as
// integers; values the backup cannot hold are left untouched through a cycle.
TEST_F(GestureLockTest, WholeNumbersRoundTripAndOtherValuesAreLeftUntouched) {
  using I = std::int64_t;
  const std::vector<std::pair<PreferenceValue, std::optional<I>>> cases{
      {3.0, 3},
      {-1e18, -1'000'000'000'000'000'000},
      {I{-1}, -1},
      {I{1} << 32, I{1} << 32},
      {I{-2147483649}, -2147483649},
      {kInt64Min, kInt64Min},
      {kInt64Max, kInt64Max},
      {UnsupportedValue{}, {}},
      {1.5, {}},
      {-0.25, {}},
      {std::nan(""), {}},
      {kInfinity, {}},
      {-kInfinity, {}},
      {9223372036854775808.0, {}},
      {-1e19, {}}};
  for (const auto& [value, number] : cases) {
    SCOPED_TRACE(fakes::describe(value));
    put(kDrag, value);
    log.clear();
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
  const std::string readBack = "dataForKey copy*136 setData synchronizeDefaults dataForKey removeObject";
  for (const auto& [fault, calls] : {std::pair{&GestureLockTest::dropDataWrites, readBack},
                                     {&GestureLockTest::damageDataWrites, readBack},
                                     {&GestureLockTest::failSynchronize,
                                      "dataForKey copy*136 setData synchronizeDefaults removeObject"}}) {
    put(kDrag, true);
    this->*fault = true;
    log.clear();
    gestureLock.lock();

    EXPECT_EQ(runs(log), calls);
    EXPECT_EQ(valueOf(kDrag), PreferenceValue{true});
    EXPECT_FALSE(entries.contains(kBackupKey));
    this->*fault = false;
  }
  gestureLock.lock();
  EXPECT_EQ(valueOf(kDrag), PreferenceValue{std::int64_t{0}});
}

// A store that drops every write, or only some (its service gone, a full
// disk), keeps what did not take in the backup, and a lock meanwhile keeps
// its saved value: the next unlock tries again. A backup that cannot be read
// at all is neither replaced by a lock nor given up by an unlock.
TEST_F(GestureLockTest, ARestoreThatDoesNotTakeKeepsTheBackupForTheNextTry) {
  for (const bool everyWrite : {true, false}) {
    SCOPED_TRACE(everyWrite);
    put(kDrag, true);
    gestureLock.lock();
    dropPreferenceWrites = everyWrite;
    if (!everyWrite) droppedKeys = {kDrag.key};
    EXPECT_EQ(gestureLock.unlock(), GestureRestore::NotPutBack);
    EXPECT_EQ(backup().size(), everyWrite ? 136u : 6u);  // the key in each domain and host
    EXPECT_EQ(entryFor(kDrag), (StoredValue{kDrag, true, true, std::nullopt}));
    EXPECT_EQ(valueOf(kDrag), PreferenceValue{std::int64_t{0}});
    gestureLock.lock();
    EXPECT_EQ(backup().size(), 136u);
    EXPECT_EQ(entryFor(kDrag), (StoredValue{kDrag, true, true, std::nullopt}));

    dropPreferenceWrites = false;
    droppedKeys.clear();
    EXPECT_EQ(gestureLock.unlock(), GestureRestore::Restored);
    EXPECT_EQ(valueOf(kDrag), PreferenceValue{true});
    EXPECT_FALSE(entries.contains(kBackupKey));
  }
  // A key the store no longer has at all is dropped; the others are kept.
  gestureLock.lock();
  dropPreferenceWrites = true;
  goneKeys = {kDrag.key};
  droppedKeys.clear();
  EXPECT_EQ(gestureLock.unlock(), GestureRestore::NotPutBack);  // the other keys did not take
  dropPreferenceWrites = false;
  droppedKeys = {kDrag.key};
  EXPECT_EQ(gestureLock.unlock(), GestureRestore::Restored);
  EXPECT_FALSE(entries.contains(kBackupKey));
  goneKeys.clear();
  droppedKeys.clear();

  unreadableKeys = {kBackupKey};
  log.clear();
  gestureLock.lock();
  EXPECT_EQ(gestureLock.unlock(), GestureRestore::NotPutBack);
  EXPECT_EQ(log, Strings(2, kReadBackup));  // nothing written, nothing removed
}

// An undecodable backup is reported and left alone, and blocks later locks,
// until a reset: it keeps the unreadable copy, removes every preference of the
// table, flushes, removes the backup and notifies. A reset whose copy cannot be
// kept does nothing more.
TEST_F(GestureLockTest, UndecodableBackupIsLeftAloneUntilAResetThatKeepsACopy) {
  const std::string undecodable = R"([{"key":{"domain":"d","key":"k"},"existed":false}])";
  const std::string copyKey = kBackupKey + ".unreadable";
  put(kDrag, std::int64_t{0});
  entries[kBackupKey] = bytesOf(undecodable);
  entries[copyKey] = bytesOf("an older copy");

  EXPECT_EQ(gestureLock.unlock(), GestureRestore::Unreadable);
  gestureLock.lock();
  EXPECT_EQ(gestureLock.unlock(), GestureRestore::Unreadable);
  EXPECT_EQ(log, Strings(3, kReadBackup));
  EXPECT_EQ(storedBackup(), bytesOf(undecodable));

  dropDataWrites = true;
  log.clear();
  EXPECT_FALSE(gestureLock.resetAfterUnreadableBackup());
  EXPECT_EQ(runs(log), "dataForKey setData synchronizeDefaults dataForKey");
  EXPECT_EQ(storedBackup(), bytesOf(undecodable));

  dropDataWrites = false;
  log.clear();
  EXPECT_TRUE(gestureLock.resetAfterUnreadableBackup());
  EXPECT_EQ(runs(log), "dataForKey setData synchronizeDefaults dataForKey set*136 synchronize*6 removeObject post*4");
  EXPECT_EQ(std::ranges::count_if(log, [](auto& l) { return l.ends_with(" = removed"); }), 136);
  EXPECT_EQ(held<Bytes>(copyKey), bytesOf(undecodable));
  EXPECT_FALSE(entries.contains(kBackupKey));
  EXPECT_TRUE(values.empty());
  EXPECT_FALSE(gestureLock.resetAfterUnreadableBackup());  // nothing left to reset

  gestureLock.lock();
  EXPECT_EQ(valueOf(kDrag), PreferenceValue{std::int64_t{0}});
}

TEST_F(GestureLockTest, UnlockRestoresEveryEntryOfTheBackupEvenOutsideTheTable) {
  const PreferenceKey other{"com.example.other", "Other", true};
  const PreferenceKey global{"NSGlobalDomain", "Both", false};
  put(other, std::int64_t{0});
  put(kDrag, std::int64_t{0});
  put(kDragCurrentHost, std::int64_t{0});
  entries[kBackupKey] =
      bytesOf(encodeBackup({{other, true, std::nullopt, 9}, {global, true, false, 5},
                            {kDrag, false, true, 1}, {kDragCurrentHost, true, {}, std::nullopt}}));
  EXPECT_EQ(gestureLock.unlock(), GestureRestore::Restored);

  const std::string drag = "set com.apple.AppleMultitouchTrackpad/";
  EXPECT_EQ(
      fakes::linesOf(log, "set "),
      (Strings{"set com.example.other/current-host Other = 9", "set any-app/any-host Both = false",
               drag + "any-host TrackpadThreeFingerDrag = removed",
               drag + "current-host TrackpadThreeFingerDrag = removed"}));
  // Only the table's domains are flushed.
  EXPECT_EQ(runs(log), "dataForKey reach set reach set restore*2 synchronize*6 copy*4 removeObject post*4");
}

// The process dies while locked; the next one starts with a new lock object,
// whose lock finds every preference as the first one left it.
TEST_F(GestureLockTest, NewLockAfterACrashKeepsOffAndThenRestoresTheFirstValues) {
  const std::vector<PreferenceOverride> table = makeTrackpadOverridesTable();
  for (std::size_t i = 0; i + 1 < table.size(); i += 3) {  // a third of the rows hold nothing
    put(table[i].key, i % 2 == 0);
    put(table[i + 1].key, static_cast<std::int64_t>(i) * 1'000'000'007 - 70'000'000'000);
  }
  const auto original = values;
  gestureLock.lock();
  const auto whileLocked = values;
  const auto backupData = storedBackup();
  ASSERT_NE(whileLocked, original);
  log.clear();

  TrackpadGestureLock restarted = makeLock();
  restarted.lock();  // switches off again what the first one did, and keeps its values
  EXPECT_EQ(runs(log),
            "dataForKey copy*136 setData synchronizeDefaults dataForKey set*136 synchronize*6 post*4");
  EXPECT_EQ(values, whileLocked);
  EXPECT_EQ(storedBackup(), backupData);

  EXPECT_EQ(restarted.unlock(), GestureRestore::Restored);
  EXPECT_EQ(values, original);
  EXPECT_FALSE(entries.contains(kBackupKey));
}

// ---- What an unlock keeps

// A preference of another key than kDrag's (the fake's faults go by key).
const PreferenceKey kRotate{"com.apple.AppleMultitouchTrackpad", "TrackpadRotate", false};

// One preference of the backup as its store answers for it at the unlock; the
// table's other preferences are always put back. Each case: the restore, and
// whether the entry was written and is still in the backup afterwards.
struct StoreAnswer {
  const char* what;
  void (*arrange)(GestureLockTest&);
  GestureRestore restore;
  bool written;
  bool kept;
};

TEST_F(GestureLockTest, EachEntryIsPutBackKeptOrDroppedAsItsStoreAnswers) {
  const std::vector<StoreAnswer> cases{
      {"put back and read back", [](GestureLockTest&) {}, GestureRestore::Restored, true, false},
      {"its write dropped (the store's service gone)",
       [](GestureLockTest& t) { t.droppedKeys = {kDrag.key}; }, GestureRestore::NotPutBack, true,
       true},
      {"its write not answered in time (its service slow): asked again later",
       [](GestureLockTest& t) { t.lateKeys = {kDrag.key}; }, GestureRestore::Pending, true, true},
      {"not possible now (its device unplugged)",
       [](GestureLockTest& t) { t.awayKeys = {kDrag.key}; }, GestureRestore::Pending, false, true},
      {"never possible (its key gone from this system)",
       [](GestureLockTest& t) { t.goneKeys = {kDrag.key}; }, GestureRestore::Restored, false,
       false},
      {"set by the user since the lock",
       [](GestureLockTest& t) { t.put(kDrag, std::int64_t{3}); }, GestureRestore::Restored, false,
       false},
      {"removed by the user since the lock",
       [](GestureLockTest& t) { t.values.erase(fakes::slot(kDrag.key, preferenceAddress(kDrag))); },
       GestureRestore::Restored, false, false},
  };
  for (const StoreAnswer& answer : cases) {
    SCOPED_TRACE(answer.what);
    values.clear();
    put(kDrag, true);
    put(kRotate, std::int64_t{2});
    gestureLock.lock();
    answer.arrange(*this);
    log.clear();
    EXPECT_EQ(gestureLock.unlock(), answer.restore);

    EXPECT_EQ(writesTo(kDrag), answer.written ? 1u : 0u);
    EXPECT_EQ(entries.contains(kBackupKey), answer.kept);
    // Never everything because of one entry: what remains is that entry alone
    // (the key in each of its domains and hosts), with its saved value.
    if (answer.kept) {
      EXPECT_EQ(backup().size(), 6u);
      EXPECT_EQ(entryFor(kDrag), (StoredValue{kDrag, true, true, std::nullopt}));
      EXPECT_EQ(fullEntryFor(kDrag)->lockedIntValue, 0);
    }
    EXPECT_EQ(valueOf(kRotate), PreferenceValue{std::int64_t{2}});
    if (answer.restore == GestureRestore::Restored && answer.written) {
      EXPECT_EQ(valueOf(kDrag), PreferenceValue{true});
    }
    droppedKeys.clear();
    awayKeys.clear();
    lateKeys.clear();
    goneKeys.clear();
    entries.erase(kBackupKey);
  }
}

// An entry waiting for its device goes back when the store says the device
// has come back, unless the user has set the preference since: the newer
// value stays and the entry goes.
TEST_F(GestureLockTest, AWaitingEntryGoesBackWhenItsDeviceReturnsUnlessTheUserSetItSince) {
  for (const bool userSetItSince : {false, true}) {
    SCOPED_TRACE(userSetItSince);
    values.clear();
    put(kDrag, true);
    gestureLock.lock();
    awayKeys = {kDrag.key};
    EXPECT_EQ(gestureLock.unlock(), GestureRestore::Pending);
    preferencesChanged();  // something else came or went: still waiting
    EXPECT_EQ(backup().size(), 6u);

    awayKeys.clear();
    if (userSetItSince) put(kDrag, false);
    log.clear();
    preferencesChanged();
    EXPECT_EQ(valueOf(kDrag), PreferenceValue{!userSetItSince});
    EXPECT_EQ(writesTo(kDrag), userSetItSince ? 0u : 1u);
    EXPECT_FALSE(entries.contains(kBackupKey));
  }
}

// A lock over waiting entries switches off everything there is and backs it
// up beside them: an entry whose preference still holds what the lock left
// keeps its first value, one the user has set since takes the newer value,
// one out of reach stays as it was; the unlock puts each back.
TEST_F(GestureLockTest, ALockOverWaitingEntriesSwitchesEverythingOffAndKeepsTheirValues) {
  const PreferenceKey twoFinger{"NSGlobalDomain", "com.apple.trackpad.pinchGesture", false};
  put(kDrag, true);
  put(kRotate, std::int64_t{2});
  put(kGlobalSwipe, true);
  put(twoFinger, std::int64_t{1});
  gestureLock.lock();
  awayKeys = {kDrag.key, kGlobalSwipe.key, twoFinger.key};
  EXPECT_EQ(gestureLock.unlock(), GestureRestore::Pending);
  EXPECT_EQ(valueOf(kRotate), PreferenceValue{std::int64_t{2}});

  awayKeys = {kDrag.key};  // still away; the other two are back
  put(twoFinger, std::int64_t{5});  // the user's newer value
  put(kRotate, std::int64_t{7});
  gestureLock.lock();
  EXPECT_EQ(backup().size(), 136u);
  EXPECT_EQ(entryFor(kDrag), (StoredValue{kDrag, true, true, std::nullopt}));
  EXPECT_EQ(entryFor(kGlobalSwipe), (StoredValue{kGlobalSwipe, true, true, std::nullopt}));
  EXPECT_EQ(entryFor(twoFinger), (StoredValue{twoFinger, true, std::nullopt, 5}));
  EXPECT_EQ(entryFor(kRotate), (StoredValue{kRotate, true, std::nullopt, 7}));
  EXPECT_EQ(valueOf(kGlobalSwipe), PreferenceValue{false});
  EXPECT_EQ(valueOf(twoFinger), PreferenceValue{std::int64_t{0}});
  EXPECT_EQ(writesTo(kDrag), 1u);  // the lock's first write only: out of reach since

  awayKeys.clear();
  EXPECT_EQ(gestureLock.unlock(), GestureRestore::Restored);
  EXPECT_EQ(valueOf(kDrag), PreferenceValue{true});
  EXPECT_EQ(valueOf(kGlobalSwipe), PreferenceValue{true});
  EXPECT_EQ(valueOf(twoFinger), PreferenceValue{std::int64_t{5}});
  EXPECT_EQ(valueOf(kRotate), PreferenceValue{std::int64_t{7}});
  EXPECT_FALSE(entries.contains(kBackupKey));
}

// A preference that appears while locked (a touchpad plugged in) is backed up
// and switched off at once; one that appears while unlocked is left alone.
TEST_F(GestureLockTest, APreferenceThatAppearsWhileLockedIsSwitchedOffToo) {
  const PreferenceKey plugged{"org.kde.KWin.InputDevice/Pad (0002:0007)", "scrollEdge", false};
  std::vector<PreferenceOverride> table{{kDrag, std::int64_t{0}}};
  TrackpadGestureLock lock(
      kBackupKey, [&table] { return table; }, *this, *this, *this);
  put(kDrag, std::int64_t{1});
  put(plugged, true);
  lock.lock();
  table.push_back({plugged, false});
  ASSERT_TRUE(preferencesChanged);
  preferencesChanged();
  EXPECT_EQ(valueOf(plugged), PreferenceValue{false});
  EXPECT_EQ(entryFor(plugged), (StoredValue{plugged, true, true, std::nullopt}));
  EXPECT_EQ(writesTo(kDrag), 1u);  // switched off once

  EXPECT_EQ(lock.unlock(), GestureRestore::Restored);
  EXPECT_EQ(valueOf(plugged), PreferenceValue{true});
  EXPECT_EQ(valueOf(kDrag), PreferenceValue{std::int64_t{1}});
  log.clear();
  preferencesChanged();
  EXPECT_EQ(fakes::linesOf(log, "set "), Strings{});
}

// A backup of an earlier version says nothing of what the lock wrote: the
// table's disabled value stands for it, so a value set by the user since is
// still kept, and the rest is put back.
TEST_F(GestureLockTest, ABackupOfAnEarlierVersionIsRestoredAsBefore) {
  const std::string earlier =
      R"([{"key":{"domain":"com.apple.AppleMultitouchTrackpad","key":"TrackpadThreeFingerDrag",)"
      R"("currentHostOnly":false},"existed":true,"boolValue":true},)"
      R"({"key":{"domain":"com.apple.AppleMultitouchTrackpad","key":"TrackpadThreeFingerDrag",)"
      R"("currentHostOnly":true},"existed":true,"intValue":4}])";
  entries[kBackupKey] = bytesOf(earlier);
  put(kDrag, std::int64_t{0});
  put(kRotate, std::int64_t{9});  // set by the user since
  EXPECT_EQ(gestureLock.unlock(), GestureRestore::Restored);
  EXPECT_EQ(valueOf(kDrag), PreferenceValue{true});
  EXPECT_EQ(valueOf(kRotate), PreferenceValue{std::int64_t{9}});
  EXPECT_FALSE(entries.contains(kBackupKey));
}

}  // namespace
}  // namespace hushpad
