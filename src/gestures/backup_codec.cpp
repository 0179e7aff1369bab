#include "gestures/backup_codec.h"

#include <algorithm>
#include <limits>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

namespace hushpad {

namespace {

using nlohmann::json;
using nlohmann::ordered_json;

// ---- Writing: members in the records' field order.

ordered_json toJson(const PreferenceKey& key) {
  ordered_json object = ordered_json::object();
  object["domain"] = key.domain;
  object["key"] = key.key;
  object["currentHostOnly"] = key.currentHostOnly;
  return object;
}

ordered_json toJson(const StoredValue& value) {
  ordered_json object = ordered_json::object();
  object["key"] = toJson(value.key);
  object["existed"] = value.existed;
  if (value.boolValue) object["boolValue"] = *value.boolValue;
  if (value.intValue) object["intValue"] = *value.intValue;
  if (value.lockedBoolValue) object["lockedBoolValue"] = *value.lockedBoolValue;
  if (value.lockedIntValue) object["lockedIntValue"] = *value.lockedIntValue;
  return object;
}

// ---- Reading: each read() fills out and tells whether the JSON value had the
// expected type.

bool read(const json& value, PreferenceKey& out);

bool read(const json& value, std::string& out) {
  if (!value.is_string()) return false;
  out = value.get_ref<const std::string&>();
  return true;
}

bool read(const json& value, bool& out) {
  if (!value.is_boolean()) return false;
  out = value.get<bool>();
  return true;
}

// The parser keeps non-negative integers as unsigned, negative ones as signed
// and anything with a fraction, an exponent or beyond 64 bits as floating
// point; only the first two, within the signed range, are integers here.
bool read(const json& value, std::int64_t& out) {
  if (value.is_number_unsigned()) {
    const auto magnitude = value.get<std::uint64_t>();
    if (magnitude > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
      return false;
    }
    out = static_cast<std::int64_t>(magnitude);
    return true;
  }
  if (!value.is_number_integer()) return false;
  out = value.get<std::int64_t>();
  return true;
}

template <typename T>
bool readMember(const json& object, const char* name, T& out) {
  const auto member = object.find(name);
  return member != object.end() && read(*member, out);
}

// A missing member and one holding null are both absent.
template <typename T>
bool readOptionalMember(const json& object, const char* name, std::optional<T>& out) {
  const auto member = object.find(name);
  if (member == object.end() || member->is_null()) {
    out.reset();
    return true;
  }
  T present{};
  if (!read(*member, present)) return false;
  out = present;
  return true;
}

bool read(const json& value, PreferenceKey& out) {
  return value.is_object() && readMember(value, "domain", out.domain) &&
         readMember(value, "key", out.key) &&
         readMember(value, "currentHostOnly", out.currentHostOnly);
}

bool read(const json& value, StoredValue& out) {
  return value.is_object() && readMember(value, "key", out.key) &&
         readMember(value, "existed", out.existed) &&
         readOptionalMember(value, "boolValue", out.boolValue) &&
         readOptionalMember(value, "intValue", out.intValue) &&
         readOptionalMember(value, "lockedBoolValue", out.lockedBoolValue) &&
         readOptionalMember(value, "lockedIntValue", out.lockedIntValue);
}

}  // namespace

std::string encodeBackup(const std::vector<StoredValue>& values) {
  ordered_json array = ordered_json::array();
  for (const StoredValue& value : values) array.push_back(toJson(value));
  // Texts that are not UTF-8 cannot come from the preference store's keys;
  // should one arrive, its bad bytes become U+FFFD rather than an exception.
  return array.dump(-1, ' ', false, ordered_json::error_handler_t::replace);
}

std::optional<std::vector<StoredValue>> decodeBackup(std::span<const std::uint8_t> data) {
  // The parser takes a NUL byte for the end of the text, which would hide
  // whatever follows it.
  if (std::ranges::find(data, std::uint8_t{0}) != data.end()) return std::nullopt;
  // The parser keeps the last of two members of one name; here that is unreadable.
  std::vector<std::set<std::string>> openObjects;
  bool memberNamedTwice = false;
  const json::parser_callback_t noDuplicates = [&](int, json::parse_event_t event,
                                                   json& parsed) {
    if (event == json::parse_event_t::object_start) openObjects.emplace_back();
    if (event == json::parse_event_t::object_end && !openObjects.empty()) openObjects.pop_back();
    if (event == json::parse_event_t::key && !openObjects.empty() &&
        !openObjects.back().insert(parsed.get<std::string>()).second) {
      memberNamedTwice = true;
    }
    return true;
  };
  const json document =
      json::parse(data.begin(), data.end(), noDuplicates, /*allow_exceptions=*/false);
  if (memberNamedTwice || !document.is_array()) return std::nullopt;  // or not JSON at all
  std::vector<StoredValue> values;
  values.reserve(document.size());
  for (const json& element : document) {
    StoredValue value;
    if (!read(element, value)) return std::nullopt;
    values.push_back(std::move(value));
  }
  return values;
}

}  // namespace hushpad
