#include "platform/linux/application.h"

#include <glib-unix.h>
#include <gtk/gtk.h>

#include <csignal>

namespace hushpad::linux {
namespace {

gboolean terminateOnSignal(gpointer application) {
  static_cast<LinuxApplication*>(application)->terminate();
  return G_SOURCE_CONTINUE;
}

gboolean runTask(gpointer task) {
  (*static_cast<std::function<void()>*>(task))();
  return G_SOURCE_REMOVE;
}

void deleteTask(gpointer task) { delete static_cast<std::function<void()>*>(task); }

}  // namespace

int LinuxApplication::run() {
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    g_unix_signal_add(signal, terminateOnSignal, this);
  }
  if (delegate_ != nullptr) delegate_->applicationDidFinishLaunching();
  gtk_main();
  return 0;
}

void LinuxApplication::terminate() {
  if (terminating_) return;
  terminating_ = true;
  if (delegate_ != nullptr) delegate_->applicationWillTerminate();
  exitProcess_(0);
}

void GLibMainQueue::async(std::function<void()> task) {
  g_idle_add_full(G_PRIORITY_DEFAULT_IDLE, runTask, new std::function<void()>(std::move(task)),
                  deleteTask);
}

void GLibMainQueue::asyncAfter(double seconds, std::function<void()> task) {
  const auto milliseconds = static_cast<guint>(seconds > 0 ? seconds * 1000 : 0);
  g_timeout_add_full(G_PRIORITY_DEFAULT, milliseconds, runTask,
                     new std::function<void()>(std::move(task)), deleteTask);
}

}  // namespace hushpad::linux
