#include "gestures/overrides_table.h"

#include <array>
#include <cstdint>

namespace hushpad {

namespace {

constexpr const char* kGlobalDomain = "NSGlobalDomain";

constexpr std::array<const char*, 3> kTrackpadDomains{
    kGlobalDomain,
    "com.apple.AppleMultitouchTrackpad",
    "com.apple.driver.AppleBluetoothMultitouch.trackpad",
};

constexpr std::array<const char*, 22> kGestureKeys{
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
    "TrackpadTwoFingerFromRightEdgeSwipeGesture",
};

// Swiping between pages with scrolls: kept as booleans in the global domain.
constexpr std::array<const char*, 2> kSwipeNavigationKeys{
    "AppleEnableSwipeNavigateWithScrolls",
    "AppleEnableMouseSwipeNavigateWithScrolls",
};

// The any-host copy first, then the current-host copy.
void addBothHostCopies(std::vector<PreferenceOverride>& rows, const char* domain, const char* key,
                       const PreferenceValue& disabledValue) {
  for (const bool currentHostOnly : {false, true}) {
    rows.push_back({PreferenceKey{domain, key, currentHostOnly}, disabledValue});
  }
}

}  // namespace

std::vector<PreferenceOverride> makeTrackpadOverridesTable() {
  std::vector<PreferenceOverride> rows;
  rows.reserve(kTrackpadDomains.size() * kGestureKeys.size() * 2 + kSwipeNavigationKeys.size() * 2);
  for (const char* domain : kTrackpadDomains) {
    for (const char* key : kGestureKeys) {
      addBothHostCopies(rows, domain, key, std::int64_t{0});
    }
  }
  for (const char* key : kSwipeNavigationKeys) {
    addBothHostCopies(rows, kGlobalDomain, key, false);
  }
  return rows;
}

PreferenceAddress preferenceAddress(const std::string& domain, bool currentHostOnly) {
  PreferenceAddress address;
  if (domain != kGlobalDomain) address.application = domain;
  address.currentHost = currentHostOnly;
  return address;
}

}  // namespace hushpad
