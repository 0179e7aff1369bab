#pragma once
// The keyboard's own state, which the OS changes before any event tap sees a
// key: lock modifiers, the layout group and the accessibility toggles that
// keys can switch. Main thread only; values are copied out and back.

#include <optional>

namespace hushpad {

// Each part is nothing where the OS cannot read it or put it back; such a
// part is left alone.
struct KeyboardState {
  std::optional<bool> capsLock;
  std::optional<bool> numLock;
  // Every locked modifier as the OS numbers them (Shift, Lock, Control...,
  // one bit each): a modifier pressed twice under sticky keys is locked too.
  // Where present it is put back whole, Caps Lock and Num Lock included.
  std::optional<unsigned> lockedModifiers = std::nullopt;
  std::optional<int> layoutGroup;
  std::optional<bool> stickyKeys;
  std::optional<bool> slowKeys;
  std::optional<bool> mouseKeys;
  std::optional<bool> bounceKeys;
  friend bool operator==(const KeyboardState&, const KeyboardState&) = default;
};

class KeyboardStateAccess {
 public:
  virtual ~KeyboardStateAccess() = default;
  virtual KeyboardState read() = 0;
  // Puts back every part that holds a value.
  virtual void apply(const KeyboardState& state) = 0;
};

}  // namespace hushpad
