#pragma once
// An X grab never times out: a Hushpad whose main loop stalls (a wedged call,
// a debugger's breakpoint, SIGSTOP) would hold the input for good. While
// armed, a small child process hears a heartbeat from the main loop once a
// second through a pipe; when none has come for the limit, it kills this
// process, the X server lets go of the grab, and the next start restores the
// settings from their backup. Disarmed, the child leaves and nothing runs.
// Main thread only.

#include <glib.h>
#include <sys/types.h>

namespace hushpad::linux {

class StallWatchdog {
 public:
  explicit StallWatchdog(int limitSeconds = 5) : limitSeconds_(limitSeconds) {}
  ~StallWatchdog() { disarm(); }
  StallWatchdog(const StallWatchdog&) = delete;
  StallWatchdog& operator=(const StallWatchdog&) = delete;

  // Starts the child and the heartbeat; nothing when armed already, or when
  // no child can be started (the grab then has no watchdog).
  void arm();
  void disarm();
  bool isArmed() const { return heartbeat_ >= 0; }

 private:
  static gboolean beat(gpointer self);

  int limitSeconds_;
  int heartbeat_ = -1;  // the pipe's writing end
  guint timer_ = 0;
};

}  // namespace hushpad::linux
