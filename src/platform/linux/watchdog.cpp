#include "platform/linux/watchdog.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <string_view>

namespace hushpad::linux {
namespace {

// How long the child waits for the killed process to be gone before it
// starts the fresh one anyway.
constexpr int kGoneDeadlineMilliseconds = 3000;

// A startup notification or activation token belongs to the launch that got
// it: the fresh start has none.
bool belongsToOneLaunch(std::string_view variable) {
  return variable.starts_with("DESKTOP_STARTUP_ID=") ||
         variable.starts_with("XDG_ACTIVATION_TOKEN=");
}

void sleepMilliseconds(long milliseconds) {
  const timespec pause{0, milliseconds * 1000 * 1000};
  nanosleep(&pause, nullptr);
}

// The killed process is gone once this child has another parent (it is handed
// on as the parent exits, after the kernel has closed the parent's
// descriptors: its display connection and its claim on the display).
void waitUntilGone(pid_t parent) {
  for (int waited = 0; getppid() == parent && waited < kGoneDeadlineMilliseconds; waited += 10) {
    sleepMilliseconds(10);
  }
}

// The child of a process with threads may only make async-signal-safe calls.
// It keeps no other descriptor open: a copy of the display connection would
// keep the grab or the cover alive after the kill.
[[noreturn]] void watch(int heartbeat, int ownWritingEnd, pid_t parent, int limitMilliseconds,
                        const RestartCommand* restart) {
  close(ownWritingEnd);  // or the pipe would never end for it
  close_range(3, static_cast<unsigned int>(heartbeat) - 1, 0);
  close_range(static_cast<unsigned int>(heartbeat) + 1, ~0U, 0);
  pollfd beats{heartbeat, POLLIN, 0};
  char buffer[64];
  for (;;) {
    const int ready = poll(&beats, 1, limitMilliseconds);
    if (ready == 0) break;
    if (ready < 0) {
      if (errno == EINTR) continue;
      _exit(1);
    }
    const ssize_t got = read(heartbeat, buffer, sizeof buffer);
    if (got == 0) _exit(0);  // disarmed, or the parent is gone
    if (got < 0 && errno != EINTR && errno != EAGAIN) _exit(1);
  }
  if (getppid() != parent) _exit(0);  // gone already: nobody to stand in for
  kill(parent, SIGKILL);              // a stopped process dies too
  if (restart == nullptr) _exit(0);
  close(heartbeat);
  waitUntilGone(parent);
  // The fresh Hushpad starts with the signals as a new process has them.
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  execve("/proc/self/exe", restart->argv(), restart->envp());
  _exit(127);
}

void reap(GPid child, gint, gpointer) { g_spawn_close_pid(child); }

}  // namespace

RestartCommand::RestartCommand(int argc, char** argv, char** environment) {
  for (int i = 0; i < argc; ++i) arguments_.emplace_back(argv[i]);
  for (char** variable = environment; variable != nullptr && *variable != nullptr; ++variable) {
    if (!belongsToOneLaunch(*variable)) environment_.emplace_back(*variable);
  }
  for (std::string& argument : arguments_) argv_.push_back(argument.data());
  argv_.push_back(nullptr);
  for (std::string& variable : environment_) envp_.push_back(variable.data());
  envp_.push_back(nullptr);
}

void StallWatchdog::arm() {
  if (isArmed()) return;
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return;
  const pid_t parent = getpid();
  const pid_t child = fork();
  if (child == 0) watch(ends[0], ends[1], parent, limitSeconds_ * 1000, restart_);
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
