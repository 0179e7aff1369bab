#include "platform/linux/x11/keyboard.h"

#include <X11/XKBlib.h>
#include <X11/keysym.h>
#include <gdk/gdkx.h>

#include <array>
#include <optional>
#include <utility>

namespace hushpad::linux {

bool isX11Display(GdkDisplay* display) { return GDK_IS_X11_DISPLAY(display); }

namespace {

using ControlField = std::optional<bool> KeyboardState::*;

constexpr std::array<std::pair<unsigned int, ControlField>, 4> kControls{{
    {XkbStickyKeysMask, &KeyboardState::stickyKeys},
    {XkbSlowKeysMask, &KeyboardState::slowKeys},
    {XkbMouseKeysMask, &KeyboardState::mouseKeys},
    {XkbBounceKeysMask, &KeyboardState::bounceKeys},
}};

Display* xDisplay(GdkDisplay* display) {
  return GDK_IS_X11_DISPLAY(display) ? GDK_DISPLAY_XDISPLAY(display) : nullptr;
}

// The controls enabled now; nothing without XKB.
std::optional<unsigned int> enabledControls(Display* x) {
  XkbDescPtr keyboard = XkbAllocKeyboard();
  if (keyboard == nullptr) return std::nullopt;
  std::optional<unsigned int> enabled;
  if (XkbGetControls(x, XkbAllControlsMask, keyboard) == Success && keyboard->ctrls != nullptr) {
    enabled = keyboard->ctrls->enabled_ctrls;
  }
  XkbFreeKeyboard(keyboard, 0, True);
  return enabled;
}

}  // namespace

KeyboardState XkbKeyboardState::read() {
  KeyboardState state;
  Display* x = xDisplay(display_);
  if (x == nullptr) return state;
  XkbStateRec now{};
  if (XkbGetState(x, XkbUseCoreKbd, &now) == Success) {
    state.lockedModifiers = now.locked_mods;
    state.capsLock = (now.locked_mods & LockMask) != 0;
    if (const unsigned int numLock = XkbKeysymToModifiers(x, XK_Num_Lock); numLock != 0) {
      state.numLock = (now.locked_mods & numLock) != 0;
    }
    state.layoutGroup = now.locked_group;
  }
  if (const std::optional<unsigned int> enabled = enabledControls(x)) {
    for (const auto& [mask, field] : kControls) state.*field = (*enabled & mask) != 0;
  }
  return state;
}

// The controls go first: switching sticky keys off makes the server let go of
// every locked modifier, Caps Lock and Num Lock included.
void XkbKeyboardState::apply(const KeyboardState& state) {
  Display* x = xDisplay(display_);
  if (x == nullptr) return;
  unsigned int controls = 0;
  unsigned int enabled = 0;
  for (const auto& [mask, field] : kControls) {
    if (!(state.*field)) continue;
    controls |= mask;
    if (*(state.*field)) enabled |= mask;
  }
  if (controls != 0) XkbChangeEnabledControls(x, XkbUseCoreKbd, controls, enabled);
  unsigned int affect = 0;
  unsigned int values = 0;
  const auto lockModifier = [&](const std::optional<bool>& on, unsigned int mask) {
    if (!on || mask == 0) return;
    affect |= mask;
    if (*on) values |= mask;
  };
  if (state.lockedModifiers) {
    affect = 0xFF;  // all eight: none stays locked that was not
    values = *state.lockedModifiers & 0xFF;
  } else {
    lockModifier(state.capsLock, LockMask);
    lockModifier(state.numLock, XkbKeysymToModifiers(x, XK_Num_Lock));
  }
  XkbLatchModifiers(x, XkbUseCoreKbd, 0xFF, 0);
  if (affect != 0) XkbLockModifiers(x, XkbUseCoreKbd, affect, values);
  if (state.layoutGroup) XkbLockGroup(x, XkbUseCoreKbd, static_cast<unsigned int>(*state.layoutGroup));
  XFlush(x);
}

}  // namespace hushpad::linux
