#pragma once
// The application object: its event loop, its delegate and what it knows about
// the event being handled. Main thread only; the entry point owns all three
// services for the life of the process.

#include <functional>
#include <optional>

#include "actions.h"

namespace hushpad {

class ApplicationDelegate {
 public:
  virtual ~ApplicationDelegate() = default;
  virtual void applicationDidFinishLaunching() = 0;
  virtual void applicationWillTerminate() = 0;
};

class Application {
 public:
  virtual ~Application() = default;
  // The application does not own its delegate.
  virtual void setDelegate(ApplicationDelegate* delegate) = 0;
  // Runs the main event loop; returns only if the loop ever ends.
  virtual int run() = 0;
  // No Dock icon, no main menu.
  virtual void setActivationPolicyAccessory() = 0;
  // The type of the event being handled, if any.
  virtual std::optional<MouseEventType> currentEventType() = 0;
  // Ends the application through its normal termination, which calls
  // applicationWillTerminate first.
  virtual void terminate() = 0;
  virtual void activateIgnoringOtherApps() = 0;
};

class MainQueue {
 public:
  virtual ~MainQueue() = default;
  // Runs task on a later pass of the main loop.
  virtual void async(std::function<void()> task) = 0;
  // Runs task on a pass of the main loop about seconds from now.
  virtual void asyncAfter(double seconds, std::function<void()> task) = 0;
};

class ReviewPrompt {
 public:
  virtual ~ReviewPrompt() = default;
  // Asks the system to show its rating prompt, if it will.
  virtual void requestReview() = 0;
};

}  // namespace hushpad
