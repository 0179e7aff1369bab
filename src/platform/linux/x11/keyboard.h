#pragma once
// The keyboard's state on X11, through XKB: every locked modifier (Caps Lock,
// Num Lock, and those that sticky keys lock when pressed twice), the
// locked layout group, and the accessibility controls that keys switch on by
// themselves (Shift five times: sticky keys; Shift held: slow keys; and mouse
// and bounce keys). The X server acts on these before any grab sees the key.
// Main thread only.

#include <gdk/gdk.h>

#include "platform/keyboard.h"

namespace hushpad::linux {

// Whether GDK's display is an X server's (GNOME may run on either).
bool isX11Display(GdkDisplay* display);

class XkbKeyboardState final : public KeyboardStateAccess {
 public:
  explicit XkbKeyboardState(GdkDisplay* display) : display_(display) {}

  // Parts XKB does not answer for (no XKB, no Num Lock key) are nothing.
  KeyboardState read() override;
  // Also lets go of modifiers that sticky keys latched meanwhile.
  void apply(const KeyboardState& state) override;

 private:
  GdkDisplay* display_;
};

}  // namespace hushpad::linux
