#include "platform/macos/keyboard.h"

#include <IOKit/hidsystem/IOHIDLib.h>
#include <IOKit/hidsystem/IOHIDParameter.h>
#include <IOKit/hidsystem/IOHIDShared.h>
#include <mach/mach.h>

namespace hushpad::macos {

HIDKeyboardState::~HIDKeyboardState() {
  if (connection_ != 0) IOServiceClose(connection_);
}

io_connect_t HIDKeyboardState::connection() {
  if (opened_) return connection_;
  opened_ = true;
  // MACH_PORT_NULL names the default main port on every macOS version.
  const io_service_t service =
      IOServiceGetMatchingService(MACH_PORT_NULL, IOServiceMatching(kIOHIDSystemClass));
  if (service == 0) return 0;
  if (IOServiceOpen(service, mach_task_self(), kIOHIDParamConnectType, &connection_) !=
      KERN_SUCCESS) {
    connection_ = 0;
  }
  IOObjectRelease(service);
  return connection_;
}

KeyboardState HIDKeyboardState::read() {
  KeyboardState state;
  bool capsLock = false;
  const io_connect_t hid = connection();
  if (hid != 0 && IOHIDGetModifierLockState(hid, kIOHIDCapsLockState, &capsLock) == KERN_SUCCESS) {
    state.capsLock = capsLock;
  }
  return state;
}

void HIDKeyboardState::apply(const KeyboardState& state) {
  const io_connect_t hid = connection();
  if (hid != 0 && state.capsLock) IOHIDSetModifierLockState(hid, kIOHIDCapsLockState, *state.capsLock);
}

}  // namespace hushpad::macos
