#include "platform/linux/x11/event_tap.h"

namespace hushpad::linux {
namespace {

// Core Graphics event type numbers.
constexpr EventType kLeftMouseDown = 1;
constexpr EventType kLeftMouseUp = 2;
constexpr EventType kRightMouseDown = 3;
constexpr EventType kRightMouseUp = 4;
constexpr EventType kLeftMouseDragged = 6;
constexpr EventType kRightMouseDragged = 7;
constexpr EventType kKeyDown = 10;
constexpr EventType kKeyUp = 11;
constexpr EventType kFlagsChanged = 12;
constexpr EventType kScrollWheel = 22;
constexpr EventType kOtherMouseDown = 25;
constexpr EventType kOtherMouseUp = 26;
constexpr EventType kOtherMouseDragged = 27;

constexpr guint kLeftButton = 1;
constexpr guint kRightButton = 3;

TapEvent pointerEvent(EventType type, double rootX, double rootY,
                      std::optional<MouseEventType> release = std::nullopt) {
  return TapEvent{type, rootX, rootY, release};
}

TapEvent buttonEvent(const GdkEventButton& button) {
  const bool press = button.type == GDK_BUTTON_PRESS;
  EventType type = press ? kOtherMouseDown : kOtherMouseUp;
  if (button.button == kLeftButton) type = press ? kLeftMouseDown : kLeftMouseUp;
  if (button.button == kRightButton) type = press ? kRightMouseDown : kRightMouseUp;
  return pointerEvent(type, button.x_root, button.y_root,
                      press ? std::nullopt : std::optional(mouseUpType(button.button)));
}

// Motion is reported only as a drag: plain pointer movement is never held.
std::optional<TapEvent> motionEvent(const GdkEventMotion& motion) {
  EventType type = 0;
  if (motion.state & GDK_BUTTON1_MASK) {
    type = kLeftMouseDragged;
  } else if (motion.state & GDK_BUTTON3_MASK) {
    type = kRightMouseDragged;
  } else if (motion.state & (GDK_BUTTON2_MASK | GDK_BUTTON4_MASK | GDK_BUTTON5_MASK)) {
    type = kOtherMouseDragged;
  } else {
    return std::nullopt;
  }
  return pointerEvent(type, motion.x_root, motion.y_root);
}

// Key events carry no location.
TapEvent keyEvent(const GdkEventKey& key) {
  EventType type = key.type == GDK_KEY_PRESS ? kKeyDown : kKeyUp;
  if (key.is_modifier) type = kFlagsChanged;
  return TapEvent{type, 0, 0, std::nullopt};
}

// A touch acts as the left button, as in X's own pointer emulation.
std::optional<TapEvent> touchEvent(const GdkEventTouch& touch) {
  switch (touch.type) {
    case GDK_TOUCH_BEGIN:
      return pointerEvent(kLeftMouseDown, touch.x_root, touch.y_root);
    case GDK_TOUCH_UPDATE:
      return pointerEvent(kLeftMouseDragged, touch.x_root, touch.y_root);
    case GDK_TOUCH_END:
      return pointerEvent(kLeftMouseUp, touch.x_root, touch.y_root, MouseEventType::LeftMouseUp);
    default:
      return std::nullopt;
  }
}

}  // namespace

MouseEventType mouseUpType(guint button) {
  switch (button) {
    case kLeftButton:
      return MouseEventType::LeftMouseUp;
    case kRightButton:
      return MouseEventType::RightMouseUp;
    default:
      return MouseEventType::Other;
  }
}

std::optional<TapEvent> translateTapEvent(const GdkEvent& event) {
  switch (event.type) {
    case GDK_BUTTON_PRESS:
    case GDK_BUTTON_RELEASE:
      return buttonEvent(event.button);
    case GDK_MOTION_NOTIFY:
      return motionEvent(event.motion);
    case GDK_SCROLL:
      return pointerEvent(kScrollWheel, event.scroll.x_root, event.scroll.y_root);
    case GDK_KEY_PRESS:
    case GDK_KEY_RELEASE:
      return keyEvent(event.key);
    case GDK_TOUCH_BEGIN:
    case GDK_TOUCH_UPDATE:
    case GDK_TOUCH_END:
    case GDK_TOUCH_CANCEL:
      return touchEvent(event.touch);
    default:
      return std::nullopt;
  }
}

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

void showForGrab(GdkSeat*, GdkWindow* window, gpointer) { gdk_window_show(window); }

void gtkHandlesEvent(GdkEvent* event, gpointer) { gtk_main_do_event(event); }

bool isKeyboardEvent(EventType type) {
  return type == kKeyDown || type == kKeyUp || type == kFlagsChanged;
}

}  // namespace

GrabEventTap::GrabEventTap(EventTapClient& client, const MonitorScreens& screens,
                           ReleaseHandler releases)
    : client_(client), screens_(screens), releases_(std::move(releases)), window_(makeTapWindow()) {
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
    gdk_window_hide(window_);
    gdk_display_flush(display);
    return true;
  }
  constexpr auto kEverything = static_cast<GdkSeatCapabilities>(GDK_SEAT_CAPABILITY_ALL_POINTING |
                                                                GDK_SEAT_CAPABILITY_KEYBOARD);
  const GdkGrabStatus status =
      gdk_seat_grab(seat, window_, kEverything, FALSE, nullptr, nullptr, showForGrab, nullptr);
  grabbed_ = status == GDK_GRAB_SUCCESS;
  if (!grabbed_) gdk_window_hide(window_);
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

GrabEventTapFactory::GrabEventTapFactory(const MonitorScreens& screens, ReleaseHandler releases)
    : screens_(screens), releases_(std::move(releases)) {}

TapCreation GrabEventTapFactory::createTap(std::uint64_t, EventTapClient& client) {
  return {std::make_unique<GrabEventTap>(client, screens_, releases_)};
}

}  // namespace hushpad::linux
