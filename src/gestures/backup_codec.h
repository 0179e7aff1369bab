#pragma once
// The backup's JSON form: a compact array of StoredValue objects,
//   [{"key":{"domain":"…","key":"…","currentHostOnly":false},"existed":true,"boolValue":true},…]
// with members written in that order and absent optionals left out. What the
// lock wrote instead follows as "lockedBoolValue" or "lockedIntValue", which
// earlier versions ignore and did not write.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "gestures/preference_records.h"

namespace hushpad {

std::string encodeBackup(const std::vector<StoredValue>& values);

// The whole list, or nothing when any part of the text does not follow the
// format: text that is not JSON (or not UTF-8), a top level that is not an
// array, an element or "key" that is not an object, a required member missing,
// a member of the wrong type, a member named twice in one object, a NUL byte or
// anything but white space after the text. "intValue" must be an integer literal within
// the signed 64-bit range (1.0 and 1e3 are refused). Optional members holding
// null read as absent; members of other names are ignored. Never throws on bad
// input.
std::optional<std::vector<StoredValue>> decodeBackup(std::span<const std::uint8_t> data);

}  // namespace hushpad
