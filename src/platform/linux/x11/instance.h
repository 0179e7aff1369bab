#pragma once
// One Hushpad per X display.

#include <gdk/gdk.h>

namespace hushpad::linux {

// Claims the X display for this process: false when another Hushpad holds it.
// The claim is a selection owned by a hidden window of this process, so the X
// server drops it when the process ends, however it ends. A claim whose
// process has ended (gone or a zombie) but which the server has yet to drop is
// waited out for a few seconds.
bool claimDisplay(GdkDisplay* display);

}  // namespace hushpad::linux
