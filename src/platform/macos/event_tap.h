#pragma once
// The session event tap on Core Graphics and its run-loop source on the main
// run loop. Main thread only; whoever creates a tap owns it.

#include <ApplicationServices/ApplicationServices.h>

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/actions.h"
#include "platform/event_tap.h"
#include "platform/macos/app_nap.h"
#include "platform/macos/cf_ref.h"

namespace hushpad::macos {

// Owns an installed tap and its source. Destroying it disables the tap, takes
// the source off the main run loop and invalidates the tap, so that its client
// is never called again.
class QuartzEventTap final : public EventTap {
 public:
  QuartzEventTap(CFRef<CFMachPortRef> tap, CFRef<CFRunLoopSourceRef> source);
  QuartzEventTap(const QuartzEventTap&) = delete;
  QuartzEventTap& operator=(const QuartzEventTap&) = delete;
  ~QuartzEventTap() override;

  // While enabled, App Nap is kept away.
  [[nodiscard]] bool setEnabled(bool enabled) override;

 private:
  CFRef<CFMachPortRef> tap_;
  CFRef<CFRunLoopSourceRef> source_;
  LatencyCriticalActivity activity_;
};

// Receives an unlocking click on a later pass of the main queue.
using UnlockClickHandler = std::function<void(MouseEventType type)>;

class QuartzEventTapFactory final : public EventTapFactory {
 public:
  // unlockClicks must outlive every tap this factory makes.
  explicit QuartzEventTapFactory(UnlockClickHandler unlockClicks);

  [[nodiscard]] TapCreation createTap(std::uint64_t mask, EventTapClient& client) override;

  // What a tap needs for one client: the client, and where its unlocking
  // clicks go. Lives as long as the factory.
  struct Route {
    EventTapClient* client;
    const UnlockClickHandler* unlockClicks;
  };

 private:
  UnlockClickHandler unlockClicks_;
  std::unique_ptr<Route> route_;
};

}  // namespace hushpad::macos
