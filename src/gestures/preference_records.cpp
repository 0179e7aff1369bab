#include "gestures/preference_records.h"

#include <functional>

namespace hushpad {

std::size_t PreferenceKeyHash::operator()(const PreferenceKey& k) const noexcept {
  std::size_t h = std::hash<std::string>{}(k.domain);
  const auto combine = [&h](std::size_t v) {
    h ^= v + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
  };
  combine(std::hash<std::string>{}(k.key));
  combine(std::hash<bool>{}(k.currentHostOnly));
  return h;
}

}  // namespace hushpad
