#pragma once
// Objective-C++ only. NSApplication with its delegate, the main dispatch queue
// and StoreKit's rating prompt. Main thread only.

#import <AppKit/AppKit.h>

#include <vector>

#include "platform/application.h"
#include "platform/macos/action_bridge.h"

namespace hushpad::macos {

class AppKitApplication final : public Application {
 public:
  explicit AppKitApplication(NSApplication* application) : application_(application) {}

  // NSApplication holds its delegate weakly: the bridge installed as the
  // delegate lives here.
  void setDelegate(ApplicationDelegate* delegate) override;
  // Ends through AppKit's termination on SIGTERM, SIGINT and SIGHUP, so that
  // applicationWillTerminate restores first.
  int run() override;
  void setActivationPolicyAccessory() override;
  std::optional<MouseEventType> currentEventType() override;
  void terminate() override;
  void activateIgnoringOtherApps() override;

 private:
  NSApplication* application_;
  HushpadBridge* delegateBridge_ = nil;
  // Kept for the life of the process: they are never cancelled.
  std::vector<dispatch_source_t> signalSources_;
};

class DispatchMainQueue final : public MainQueue {
 public:
  void async(std::function<void()> task) override;
  void asyncAfter(double seconds, std::function<void()> task) override;
};

// StoreKit is linked weakly and reached by name, so the program still starts
// where it is missing; the request is then not made.
class StoreKitReviewPrompt final : public ReviewPrompt {
 public:
  void requestReview() override;
};

}  // namespace hushpad::macos
