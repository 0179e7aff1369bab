#pragma once
// Other processes, as /proc shows them.

namespace hushpad::linux {

// Gone, or a zombie: the process has closed its descriptors (its display and
// bus connections among them).
bool processEnded(long pid);

}  // namespace hushpad::linux
