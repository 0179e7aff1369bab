#pragma once
// The keyboard's state as the lock found it, kept in the program's defaults
// while locked, so that a run that ends while locked (a crash, a kill) leaves
// it for the next start to put back. A compact JSON object of the parts
// known, for example {"capsLock":false,"lockedModifiers":16,"stickyKeys":false}.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/keyboard.h"

namespace hushpad {

inline constexpr const char* kKeyboardDefaultsKey = "InputLock.keyboard.v1";

std::string encodeKeyboardState(const KeyboardState& state);
// Nothing for text that is not such an object, or holds a known member of the
// wrong type; members of other names are ignored.
std::optional<KeyboardState> decodeKeyboardState(std::span<const std::uint8_t> data);

}  // namespace hushpad
