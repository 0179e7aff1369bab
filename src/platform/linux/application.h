#pragma once
// The application on a GTK desktop: the GLib main loop, termination by signal
// or by request, and the main queue.

#include <cstdlib>
#include <functional>
#include <optional>

#include "platform/application.h"

namespace hushpad::linux {

class LinuxApplication final : public Application {
 public:
  using ExitFunction = void (*)(int);
  explicit LinuxApplication(ExitFunction exitProcess = std::exit) : exitProcess_(exitProcess) {}

  void setDelegate(ApplicationDelegate* delegate) override { delegate_ = delegate; }
  // Ends through terminate() on SIGTERM, SIGINT and SIGHUP.
  int run() override;
  // A tray utility has no window and no taskbar entry to hide.
  void setActivationPolicyAccessory() override {}
  std::optional<MouseEventType> currentEventType() override { return currentEventType_; }
  // Tells the delegate, then ends the process with status 0, from whatever
  // main loop (menu, alert) is running. Later calls do nothing.
  void terminate() override;
  // Nothing to bring forward without a window.
  void activateIgnoringOtherApps() override {}

  // The status item names the mouse-up whose action it is sending.
  void setCurrentEventType(std::optional<MouseEventType> type) { currentEventType_ = type; }

 private:
  ExitFunction exitProcess_;
  ApplicationDelegate* delegate_ = nullptr;
  std::optional<MouseEventType> currentEventType_;
  bool terminating_ = false;
};

class GLibMainQueue final : public MainQueue {
 public:
  // Runs task from an idle callback of the default main context.
  void async(std::function<void()> task) override;
  void asyncAfter(double seconds, std::function<void()> task) override;
};

// There is no app store to ask for a rating.
class NoReviewPrompt final : public ReviewPrompt {
 public:
  void requestReview() override {}
};

}  // namespace hushpad::linux
