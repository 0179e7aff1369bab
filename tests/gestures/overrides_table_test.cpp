#include "gestures/overrides_table.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <set>
#include <string>
#include <tuple>

#include "gesture_test_support.h"

namespace hushpad {
namespace {

const std::vector<PreferenceOverride> kTable = makeTrackpadOverridesTable();

TEST(TrackpadOverridesTable, Has136Rows) { EXPECT_EQ(kTable.size(), 136u); }

struct NumberedRow {
  std::size_t number;  // counted from 1
  PreferenceOverride row;
  friend void PrintTo(const NumberedRow& c, std::ostream* out) { *out << "row " << c.number; }
};

class TrackpadOverridesTableRow : public ::testing::TestWithParam<NumberedRow> {};

TEST_P(TrackpadOverridesTableRow, IsAsListed) {
  ASSERT_LE(GetParam().number, kTable.size());
  EXPECT_EQ(kTable[GetParam().number - 1], GetParam().row);
}

INSTANTIATE_TEST_SUITE_P(
    Landmarks, TrackpadOverridesTableRow,
    ::testing::Values(
        NumberedRow{1,
                    {{"NSGlobalDomain", "com.apple.trackpad.threeFingerHorizSwipeGesture", false},
                     std::int64_t{0}}},
        NumberedRow{2,
                    {{"NSGlobalDomain", "com.apple.trackpad.threeFingerHorizSwipeGesture", true},
                     std::int64_t{0}}},
        NumberedRow{44,
                    {{"NSGlobalDomain", "TrackpadTwoFingerFromRightEdgeSwipeGesture", true},
                     std::int64_t{0}}},
        NumberedRow{45,
                    {{"com.apple.AppleMultitouchTrackpad",
                      "com.apple.trackpad.threeFingerHorizSwipeGesture", false},
                     std::int64_t{0}}},
        NumberedRow{77,
                    {{"com.apple.AppleMultitouchTrackpad", "TrackpadThreeFingerDrag", false},
                     std::int64_t{0}}},
        NumberedRow{132,
                    {{"com.apple.driver.AppleBluetoothMultitouch.trackpad",
                      "TrackpadTwoFingerFromRightEdgeSwipeGesture", true},
                     std::int64_t{0}}},
        NumberedRow{133, {{"NSGlobalDomain", "AppleEnableSwipeNavigateWithScrolls", false}, false}},
        NumberedRow{136,
                    {{"NSGlobalDomain", "AppleEnableMouseSwipeNavigateWithScrolls", true}, false}}),
    [](const auto& info) { return "Row" + std::to_string(info.param.number); });

TEST(TrackpadOverridesTable, GesturesGetTheIntegerZeroAndSwipeNavigationFalse) {
  for (std::size_t i = 0; i < kTable.size(); ++i) {
    const PreferenceValue expected = i < 132 ? PreferenceValue{std::int64_t{0}} : false;
    EXPECT_EQ(kTable[i].disabledValue, expected) << "row " << i + 1;
  }
}

TEST(TrackpadOverridesTable, EveryRowIsADifferentPreferenceAndHostCopiesAlternate) {
  std::set<std::tuple<std::string, std::string, bool>> seen;
  for (std::size_t i = 0; i < kTable.size(); ++i) {
    const PreferenceKey& key = kTable[i].key;
    EXPECT_TRUE(seen.emplace(key.domain, key.key, key.currentHostOnly).second) << "row " << i + 1;
    EXPECT_EQ(key.currentHostOnly, i % 2 == 1) << "row " << i + 1;
  }
}

TEST(PreferenceAddressing, GlobalDomainIsAnyApplicationOthersAreThemselves) {
  EXPECT_EQ(preferenceAddress("NSGlobalDomain", false), (PreferenceAddress{std::nullopt, false}));
  EXPECT_EQ(preferenceAddress("NSGlobalDomain", true), (PreferenceAddress{std::nullopt, true}));
  EXPECT_EQ(preferenceAddress(PreferenceKey{"com.apple.AppleMultitouchTrackpad", "k", true}),
            (PreferenceAddress{"com.apple.AppleMultitouchTrackpad", true}));
  // Only the exact text names the global domain.
  EXPECT_EQ(preferenceAddress("nsglobaldomain", false),
            (PreferenceAddress{"nsglobaldomain", false}));
}

}  // namespace
}  // namespace hushpad
