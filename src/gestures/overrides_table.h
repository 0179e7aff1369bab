#pragma once

#include <vector>

#include "gestures/preference_records.h"
#include "platform/preference_store.h"

namespace hushpad {

// The 136 trackpad preferences switched off while locked, in order.
std::vector<PreferenceOverride> makeTrackpadOverridesTable();

// How a preference is addressed in the store: "NSGlobalDomain" is the
// any-application domain, every other domain is the application itself.
PreferenceAddress preferenceAddress(const std::string& domain, bool currentHostOnly);
inline PreferenceAddress preferenceAddress(const PreferenceKey& key) {
  return preferenceAddress(key.domain, key.currentHostOnly);
}

}  // namespace hushpad
