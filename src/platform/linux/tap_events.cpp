#include "platform/linux/tap_events.h"

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

bool isKeyboardEvent(EventType type) {
  return type == kKeyDown || type == kKeyUp || type == kFlagsChanged;
}

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

}  // namespace hushpad::linux
