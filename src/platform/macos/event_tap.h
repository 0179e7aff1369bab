#pragma once
// The session event tap on Core Graphics and its run-loop source on the main
// run loop. Main thread only; whoever creates a tap owns it.

#include <ApplicationServices/ApplicationServices.h>

#include <cstdint>
#include <memory>

#include "platform/event_tap.h"
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

  [[nodiscard]] bool setEnabled(bool enabled) override;

 private:
  CFRef<CFMachPortRef> tap_;
  CFRef<CFRunLoopSourceRef> source_;
};

class QuartzEventTapFactory final : public EventTapFactory {
 public:
  [[nodiscard]] TapCreation createTap(std::uint64_t mask, EventTapClient& client) override;
};

}  // namespace hushpad::macos
