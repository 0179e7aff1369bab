#include "platform/linux/x11/event_tap.h"

namespace hushpad::linux {
namespace {

// The input window's name says whether the input is held, for anyone looking
// at the X server (xprop, a test): only a grab that took changes it.
constexpr const char* kFreeTitle = "Hushpad input lock";
constexpr const char* kHeldTitle = "Hushpad input lock (held)";

constexpr auto kTapEventMask = static_cast<GdkEventMask>(
    GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK | GDK_KEY_PRESS_MASK |
    GDK_KEY_RELEASE_MASK | GDK_SCROLL_MASK | GDK_TOUCH_MASK);

// An input-only, override-redirect window off screen: it only receives the
// events of the grab.
GdkWindow* makeTapWindow() {
  GdkWindowAttr attributes{};
  attributes.x = -1;
  attributes.y = -1;
  attributes.width = 1;
  attributes.height = 1;
  attributes.wclass = GDK_INPUT_ONLY;
  attributes.window_type = GDK_WINDOW_TEMP;
  attributes.override_redirect = TRUE;
  attributes.event_mask = kTapEventMask;
  attributes.title = const_cast<gchar*>(kFreeTitle);
  return gdk_window_new(nullptr, &attributes, GDK_WA_X | GDK_WA_Y | GDK_WA_NOREDIR | GDK_WA_TITLE);
}

// Mapped once and then kept mapped, never raised: taking the input back must
// not restack a window over another program's (a locker rebuilds a prompt
// that something covers). Off screen and input-only, it hides nothing.
// Mapping a mapped window does nothing; one unmapped from outside, which GDK
// may not know yet, is mapped again where it was in the stacking order.
void showForGrab(GdkSeat*, GdkWindow* window, gpointer) { gdk_window_show_unraised(window); }

void gtkHandlesEvent(GdkEvent* event, gpointer) { gtk_main_do_event(event); }

}  // namespace

GrabEventTap::GrabEventTap(EventTapClient& client, const MonitorScreens& screens,
                           ReleaseHandler releases, const RestartCommand* restart)
    : client_(client),
      screens_(screens),
      releases_(std::move(releases)),
      window_(makeTapWindow()),
      watchdog_(restart) {
  // GTK does not deliver events of a window without a widget: look at every
  // event first and leave the others to GTK.
  gdk_event_handler_set(dispatchEvent, this, nullptr);
}

GrabEventTap::~GrabEventTap() {
  static_cast<void>(setEnabled(false));  // releasing a grab cannot fail
  gdk_event_handler_set(gtkHandlesEvent, nullptr, nullptr);
  gdk_window_destroy(window_);
}

bool GrabEventTap::setEnabled(bool enabled) {
  GdkDisplay* display = gdk_window_get_display(window_);
  GdkSeat* seat = gdk_display_get_default_seat(display);
  if (!enabled) {
    if (grabbed_) gdk_seat_ungrab(seat);
    if (grabbed_) gdk_window_set_title(window_, kFreeTitle);
    grabbed_ = false;
    watchdog_.disarm();
    gdk_display_flush(display);
    return true;
  }
  constexpr auto kEverything = static_cast<GdkSeatCapabilities>(GDK_SEAT_CAPABILITY_ALL_POINTING |
                                                                GDK_SEAT_CAPABILITY_KEYBOARD);
  const GdkGrabStatus status =
      gdk_seat_grab(seat, window_, kEverything, FALSE, nullptr, nullptr, showForGrab, nullptr);
  grabbed_ = status == GDK_GRAB_SUCCESS;
  if (grabbed_) {
    gdk_window_set_title(window_, kHeldTitle);
    watchdog_.arm();
  }
  return grabbed_;
}

void GrabEventTap::dispatchEvent(GdkEvent* event, gpointer self) {
  auto* tap = static_cast<GrabEventTap*>(self);
  if (event->any.window == tap->window_) {
    tap->handleEvent(*event);
  } else {
    gtk_main_do_event(event);
  }
}

void GrabEventTap::handleEvent(const GdkEvent& event) {
  if (event.type == GDK_GRAB_BROKEN) {
    if (!event.grab_broken.implicit) grabBroken();
    return;
  }
  const std::optional<TapEvent> tapEvent = translateTapEvent(event);
  if (!tapEvent) return;
  // Key events carry no location: they are reported where the pointer was last.
  if (!isKeyboardEvent(tapEvent->type)) {
    lastLocation_ = toEventLocation(tapEvent->rootX, tapEvent->rootY, screens_.primaryGeometry(),
                                    screens_.scaleFactor());
  }
  const TapVerdict verdict = client_.eventTapCallback(tapEvent->type, lastLocation_);
  if (verdict == TapVerdict::Unlock && tapEvent->release) releases_(*tapEvent->release);
}

// Someone took the input away (the window was unmapped, another grab of this
// process): the client hears that the tap was switched off and may enable it
// again.
void GrabEventTap::grabBroken() {
  if (!grabbed_) return;
  grabbed_ = false;
  gdk_window_set_title(window_, kFreeTitle);
  client_.eventTapCallback(kEventTapDisabledByUserInput, lastLocation_);
}

GrabEventTapFactory::GrabEventTapFactory(const MonitorScreens& screens, ReleaseHandler releases,
                                         const RestartCommand* restart)
    : screens_(screens), releases_(std::move(releases)), restart_(restart) {}

TapCreation GrabEventTapFactory::createTap(std::uint64_t, EventTapClient& client) {
  return {std::make_unique<GrabEventTap>(client, screens_, releases_, restart_)};
}

}  // namespace hushpad::linux
