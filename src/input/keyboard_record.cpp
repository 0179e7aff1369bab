#include "input/keyboard_record.h"

#include <array>
#include <limits>
#include <nlohmann/json.hpp>
#include <utility>

namespace hushpad {
namespace {

using nlohmann::json;

constexpr std::array<std::pair<const char*, std::optional<bool> KeyboardState::*>, 6> kSwitches{{
    {"capsLock", &KeyboardState::capsLock},
    {"numLock", &KeyboardState::numLock},
    {"stickyKeys", &KeyboardState::stickyKeys},
    {"slowKeys", &KeyboardState::slowKeys},
    {"mouseKeys", &KeyboardState::mouseKeys},
    {"bounceKeys", &KeyboardState::bounceKeys},
}};

// A whole number from 0 to max, or nothing.
std::optional<std::int64_t> count(const json& value, std::int64_t max) {
  if (!value.is_number_integer()) return std::nullopt;
  const auto number = value.get<std::int64_t>();
  if (number < 0 || number > max) return std::nullopt;
  return number;
}

}  // namespace

std::string encodeKeyboardState(const KeyboardState& state) {
  nlohmann::ordered_json object = nlohmann::ordered_json::object();
  for (const auto& [name, field] : kSwitches) {
    if (state.*field) object[name] = *(state.*field);
  }
  if (state.lockedModifiers) object["lockedModifiers"] = *state.lockedModifiers;
  if (state.layoutGroup) object["layoutGroup"] = *state.layoutGroup;
  return object.dump();
}

std::optional<KeyboardState> decodeKeyboardState(std::span<const std::uint8_t> data) {
  const json object = json::parse(data.begin(), data.end(), nullptr, /*allow_exceptions=*/false);
  if (!object.is_object()) return std::nullopt;
  KeyboardState state;
  for (const auto& [name, field] : kSwitches) {
    const auto member = object.find(name);
    if (member == object.end()) continue;
    if (!member->is_boolean()) return std::nullopt;
    state.*field = member->get<bool>();
  }
  if (const auto member = object.find("lockedModifiers"); member != object.end()) {
    const auto mask = count(*member, std::numeric_limits<unsigned>::max());
    if (!mask) return std::nullopt;
    state.lockedModifiers = static_cast<unsigned>(*mask);
  }
  if (const auto member = object.find("layoutGroup"); member != object.end()) {
    const auto group = count(*member, std::numeric_limits<int>::max());
    if (!group) return std::nullopt;
    state.layoutGroup = static_cast<int>(*group);
  }
  return state;
}

}  // namespace hushpad
