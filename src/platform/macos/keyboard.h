#pragma once
// The keyboard's Caps Lock on macOS, which the HID system toggles before any
// event tap sees the key. The other parts of the keyboard state are none of
// macOS's to report. Main thread only.

#include <IOKit/IOKitLib.h>

#include "platform/keyboard.h"

namespace hushpad::macos {

class HIDKeyboardState final : public KeyboardStateAccess {
 public:
  HIDKeyboardState() = default;
  HIDKeyboardState(const HIDKeyboardState&) = delete;
  HIDKeyboardState& operator=(const HIDKeyboardState&) = delete;
  ~HIDKeyboardState() override;

  KeyboardState read() override;
  void apply(const KeyboardState& state) override;

 private:
  // The HID system's parameter connection, opened on first use; 0 when it
  // cannot be opened.
  io_connect_t connection();

  io_connect_t connection_ = 0;
  bool opened_ = false;
};

}  // namespace hushpad::macos
