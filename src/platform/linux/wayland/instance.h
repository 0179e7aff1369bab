#pragma once
// One Hushpad per Wayland display.

namespace hushpad::linux {

// Claims the Wayland display WAYLAND_DISPLAY names for this process: false
// when another Hushpad holds it. The claim is a lock on a file in
// XDG_RUNTIME_DIR, which the kernel lets go when the process ends, however it
// ends.
bool claimWaylandDisplay();

}  // namespace hushpad::linux
