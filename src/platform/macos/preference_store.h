#pragma once
// The system preference store through CFPreferences, always for the current user.

#include "platform/preference_store.h"

namespace hushpad::macos {

// Keys or application names that are not valid UTF-8 name no preference:
// reading them finds nothing, writing and flushing them does nothing.
class CFPreferenceStore final : public PreferenceStore {
 public:
  std::optional<PreferenceValue> copyValue(const std::string& key,
                                           const PreferenceAddress& address) override;
  void setValue(const std::string& key, const std::optional<PreferenceValue>& value,
                const PreferenceAddress& address) override;
  void synchronize(const PreferenceAddress& address) override;
};

}  // namespace hushpad::macos
