#include "platform/linux/wayland/instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace hushpad::linux {

bool claimWaylandDisplay() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  const char* display = std::getenv("WAYLAND_DISPLAY");
  if (runtime == nullptr || display == nullptr) return true;  // nowhere to keep a claim
  std::string name = display;
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  const std::string path = std::string(runtime) + "/hushpad-" + name + ".lock";
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return true;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return false;
  }
  return true;  // the descriptor stays open, and the lock held, until the process ends
}

}  // namespace hushpad::linux
