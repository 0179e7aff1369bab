#pragma once
// The backup's JSON form: a compact array of StoredValue objects.

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "gestures/preference_records.h"

namespace hushpad {

std::string encodeBackup(const std::vector<StoredValue>& values);
// The whole list, or nothing when any part of the text does not follow the format.
std::optional<std::vector<StoredValue>> decodeBackup(std::span<const std::uint8_t> data);

}  // namespace hushpad
