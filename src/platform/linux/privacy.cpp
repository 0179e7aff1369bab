#include "platform/linux/privacy.h"

#include <cstring>

namespace hushpad::linux {

bool isWaylandSession(const char* xdgSessionType, const char* waylandDisplay) {
  const bool waylandType = xdgSessionType != nullptr && std::strcmp(xdgSessionType, "wayland") == 0;
  const bool waylandSocket = waylandDisplay != nullptr && *waylandDisplay != '\0';
  return waylandType || waylandSocket;
}

}  // namespace hushpad::linux
