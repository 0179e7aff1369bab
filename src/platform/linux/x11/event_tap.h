#pragma once
// The event tap of X11: while enabled, an active grab of the keyboard and every
// pointing device on one override-redirect input window, so that all input
// reaches this program first. Events have nowhere else to go under a grab: a
// button release that the client judges an unlocking click is handed to the
// status item as a click on it. Main thread only; the factory's creator owns
// each tap.

#include <gtk/gtk.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "platform/actions.h"
#include "platform/event_tap.h"
#include "platform/linux/screens.h"
#include "platform/linux/tap_events.h"
#include "platform/linux/watchdog.h"

namespace hushpad::linux {

// Receives a button release that the client judged an unlocking click.
using ReleaseHandler = std::function<void(MouseEventType type)>;

class GrabEventTap final : public EventTap {
 public:
  // restart (nullable) starts Hushpad afresh after a stall.
  GrabEventTap(EventTapClient& client, const MonitorScreens& screens, ReleaseHandler releases,
               const RestartCommand* restart);
  ~GrabEventTap() override;
  GrabEventTap(const GrabEventTap&) = delete;
  GrabEventTap& operator=(const GrabEventTap&) = delete;

  [[nodiscard]] bool setEnabled(bool enabled) override;

 private:
  static void dispatchEvent(GdkEvent* event, gpointer self);
  void handleEvent(const GdkEvent& event);
  void grabBroken();

  EventTapClient& client_;
  const MonitorScreens& screens_;
  ReleaseHandler releases_;
  GdkWindow* window_;
  bool grabbed_ = false;
  Point lastLocation_;
  // Armed while the input is held: a stalled main loop never keeps it.
  StallWatchdog watchdog_;
};

class GrabEventTapFactory final : public EventTapFactory {
 public:
  // releases receives the unlocking clicks while the input is held; restart
  // (nullable) starts Hushpad afresh after a stall.
  GrabEventTapFactory(const MonitorScreens& screens, ReleaseHandler releases,
                      const RestartCommand* restart);

  // The mask is not needed: a grab takes all input.
  [[nodiscard]] TapCreation createTap(std::uint64_t mask, EventTapClient& client) override;

 private:
  const MonitorScreens& screens_;
  ReleaseHandler releases_;
  const RestartCommand* restart_;
};

}  // namespace hushpad::linux
