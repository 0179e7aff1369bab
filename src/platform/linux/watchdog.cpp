#include "platform/linux/watchdog.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace hushpad::linux {
namespace {

// The child of a process with threads may only make async-signal-safe calls.
// It keeps no other descriptor open: a copy of the X connection would keep
// the grab alive after the kill.
[[noreturn]] void watch(int heartbeat, int ownWritingEnd, pid_t parent, int limitMilliseconds) {
  close(ownWritingEnd);  // or the pipe would never end for it
  close_range(3, static_cast<unsigned int>(heartbeat) - 1, 0);
  close_range(static_cast<unsigned int>(heartbeat) + 1, ~0U, 0);
  pollfd beats{heartbeat, POLLIN, 0};
  char buffer[64];
  for (;;) {
    const int ready = poll(&beats, 1, limitMilliseconds);
    if (ready == 0) {
      if (getppid() == parent) kill(parent, SIGKILL);  // a stopped process dies too
      _exit(0);
    }
    if (ready < 0) {
      if (errno == EINTR) continue;
      _exit(1);
    }
    const ssize_t got = read(heartbeat, buffer, sizeof buffer);
    if (got == 0) _exit(0);  // disarmed, or the parent is gone
    if (got < 0 && errno != EINTR && errno != EAGAIN) _exit(1);
  }
}

void reap(GPid child, gint, gpointer) { g_spawn_close_pid(child); }

}  // namespace

void StallWatchdog::arm() {
  if (isArmed()) return;
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return;
  const pid_t parent = getpid();
  const pid_t child = fork();
  if (child == 0) watch(ends[0], ends[1], parent, limitSeconds_ * 1000);
  close(ends[0]);
  if (child < 0) {
    close(ends[1]);
    return;
  }
  fcntl(ends[1], F_SETFL, O_NONBLOCK);  // a full pipe never holds up the loop
  heartbeat_ = ends[1];
  g_child_watch_add(child, reap, nullptr);
  timer_ = g_timeout_add_seconds(1, beat, this);
}

void StallWatchdog::disarm() {
  if (!isArmed()) return;
  g_source_remove(timer_);
  timer_ = 0;
  close(heartbeat_);  // the child sees the end of the pipe and leaves
  heartbeat_ = -1;
}

gboolean StallWatchdog::beat(gpointer self) {
  const char tick = 0;
  if (write(static_cast<StallWatchdog*>(self)->heartbeat_, &tick, 1) < 0) {
    // A full pipe already holds beats the child has yet to read.
  }
  return G_SOURCE_CONTINUE;
}

}  // namespace hushpad::linux
