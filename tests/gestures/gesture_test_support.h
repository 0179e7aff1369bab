#pragma once
// Readable failure messages for the gesture records, and small helpers.

#include <cstdint>
#include <ostream>
#include <string_view>
#include <vector>

#include "gestures/preference_records.h"

namespace hushpad {

inline void PrintTo(const PreferenceKey& key, std::ostream* out) {
  *out << "{" << key.domain << ", " << key.key << ", "
       << (key.currentHostOnly ? "current-host" : "any-host") << "}";
}

inline void PrintTo(const StoredValue& value, std::ostream* out) {
  PrintTo(value.key, out);
  *out << (value.existed ? " existed" : " missing");
  if (value.boolValue) *out << " bool=" << (*value.boolValue ? "true" : "false");
  if (value.intValue) *out << " int=" << *value.intValue;
}

inline std::vector<std::uint8_t> bytesOf(std::string_view text) {
  return {text.begin(), text.end()};
}

}  // namespace hushpad
