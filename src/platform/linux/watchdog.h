#pragma once
// A grab never times out on X11, and a compositor never takes the keyboard
// from a layer-shell surface that asked for it: a Hushpad whose main loop
// stalls (a wedged call, a debugger's breakpoint, SIGSTOP) would hold the
// input for good. While armed, a small child process hears a heartbeat from
// the main loop once a second through a pipe; when none has come for the
// limit, it kills this process (the X server lets go of the grab, the
// compositor drops the killed client's surfaces) and, once it is gone, starts
// Hushpad again as it was started: the fresh one restores the settings at
// launch and shows its item. Disarmed, the child leaves and nothing runs.
// Main thread only.

#include <glib.h>
#include <sys/types.h>

#include <string>
#include <vector>

namespace hushpad::linux {

// How this program was started: its arguments and environment, copied at the
// start of main (before any thread is there to change them), so that a child
// forked later can start it again with async-signal-safe calls only.
class RestartCommand {
 public:
  RestartCommand(int argc, char** argv, char** environment);
  RestartCommand(const RestartCommand&) = delete;
  RestartCommand& operator=(const RestartCommand&) = delete;

  // nullptr-terminated, for execve.
  char* const* argv() const { return argv_.data(); }
  char* const* envp() const { return envp_.data(); }

 private:
  std::vector<std::string> arguments_;
  std::vector<std::string> environment_;
  std::vector<char*> argv_;
  std::vector<char*> envp_;
};

class StallWatchdog {
 public:
  // Without a restart command the stalled process is only killed.
  explicit StallWatchdog(const RestartCommand* restart, int limitSeconds = 5)
      : restart_(restart), limitSeconds_(limitSeconds) {}
  ~StallWatchdog() { disarm(); }
  StallWatchdog(const StallWatchdog&) = delete;
  StallWatchdog& operator=(const StallWatchdog&) = delete;

  // Starts the child and the heartbeat; nothing when armed already, or when
  // no child can be started (the input is then held with no watchdog).
  void arm();
  void disarm();
  bool isArmed() const { return heartbeat_ >= 0; }

 private:
  static gboolean beat(gpointer self);

  const RestartCommand* restart_;
  int limitSeconds_;
  int heartbeat_ = -1;  // the pipe's writing end
  guint timer_ = 0;
};

}  // namespace hushpad::linux
