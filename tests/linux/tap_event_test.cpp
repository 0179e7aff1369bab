#include <gtest/gtest.h>

#include <memory>

#include "platform/linux/event_tap.h"

namespace hushpad {
namespace {

struct GdkEventDeleter {
  void operator()(GdkEvent* event) const { gdk_event_free(event); }
};
using EventPtr = std::unique_ptr<GdkEvent, GdkEventDeleter>;

EventPtr newEvent(GdkEventType type) { return EventPtr(gdk_event_new(type)); }

EventPtr button(GdkEventType type, guint number) {
  EventPtr event = newEvent(type);
  event->button.button = number;
  event->button.x_root = 30.5;
  event->button.y_root = 40;
  return event;
}

EventPtr motion(guint state) {
  EventPtr event = newEvent(GDK_MOTION_NOTIFY);
  event->motion.state = state;
  return event;
}

EventPtr key(GdkEventType type, bool modifier) {
  EventPtr event = newEvent(type);
  event->key.is_modifier = modifier;
  return event;
}

std::optional<EventType> typeOf(const EventPtr& event) {
  const std::optional<TapEvent> translated = translateTapEvent(*event);
  if (!translated) return std::nullopt;
  return translated->type;
}

TEST(TapEvent, ButtonsAreLeftRightOrOtherWithTheirPlace) {
  EXPECT_EQ(typeOf(button(GDK_BUTTON_PRESS, 1)), 1u);
  EXPECT_EQ(typeOf(button(GDK_BUTTON_RELEASE, 1)), 2u);
  EXPECT_EQ(typeOf(button(GDK_BUTTON_PRESS, 3)), 3u);
  EXPECT_EQ(typeOf(button(GDK_BUTTON_RELEASE, 3)), 4u);
  EXPECT_EQ(typeOf(button(GDK_BUTTON_PRESS, 2)), 25u);
  EXPECT_EQ(typeOf(button(GDK_BUTTON_RELEASE, 8)), 26u);
  const std::optional<TapEvent> release = translateTapEvent(*button(GDK_BUTTON_RELEASE, 3));
  ASSERT_TRUE(release);
  EXPECT_EQ(release->rootX, 30.5);
  EXPECT_EQ(release->rootY, 40);
}

TEST(TapEvent, OnlyReleasesNameAMouseUp) {
  EXPECT_EQ(translateTapEvent(*button(GDK_BUTTON_PRESS, 1))->release, std::nullopt);
  EXPECT_EQ(translateTapEvent(*button(GDK_BUTTON_RELEASE, 1))->release,
            MouseEventType::LeftMouseUp);
  EXPECT_EQ(translateTapEvent(*button(GDK_BUTTON_RELEASE, 3))->release,
            MouseEventType::RightMouseUp);
  EXPECT_EQ(translateTapEvent(*button(GDK_BUTTON_RELEASE, 2))->release, MouseEventType::Other);
}

TEST(TapEvent, MotionIsReportedOnlyAsADrag) {
  EXPECT_EQ(typeOf(motion(0)), std::nullopt);
  EXPECT_EQ(typeOf(motion(GDK_SHIFT_MASK)), std::nullopt);
  EXPECT_EQ(typeOf(motion(GDK_BUTTON1_MASK)), 6u);
  EXPECT_EQ(typeOf(motion(GDK_BUTTON1_MASK | GDK_BUTTON3_MASK)), 6u);
  EXPECT_EQ(typeOf(motion(GDK_BUTTON3_MASK)), 7u);
  EXPECT_EQ(typeOf(motion(GDK_BUTTON2_MASK)), 27u);
}

TEST(TapEvent, KeysAndModifierKeys) {
  EXPECT_EQ(typeOf(key(GDK_KEY_PRESS, false)), 10u);
  EXPECT_EQ(typeOf(key(GDK_KEY_RELEASE, false)), 11u);
  EXPECT_EQ(typeOf(key(GDK_KEY_PRESS, true)), 12u);
  EXPECT_EQ(typeOf(key(GDK_KEY_RELEASE, true)), 12u);
}

TEST(TapEvent, ScrollsAndTouches) {
  EXPECT_EQ(typeOf(newEvent(GDK_SCROLL)), 22u);
  EXPECT_EQ(typeOf(newEvent(GDK_TOUCH_BEGIN)), 1u);
  EXPECT_EQ(typeOf(newEvent(GDK_TOUCH_UPDATE)), 6u);
  EXPECT_EQ(typeOf(newEvent(GDK_TOUCH_END)), 2u);
  EXPECT_EQ(translateTapEvent(*newEvent(GDK_TOUCH_END))->release, MouseEventType::LeftMouseUp);
  EXPECT_EQ(typeOf(newEvent(GDK_TOUCH_CANCEL)), std::nullopt);
}

TEST(TapEvent, OtherEventsAreNotReported) {
  for (const GdkEventType type : {GDK_2BUTTON_PRESS, GDK_3BUTTON_PRESS, GDK_ENTER_NOTIFY,
                                  GDK_FOCUS_CHANGE, GDK_EXPOSE, GDK_GRAB_BROKEN}) {
    EXPECT_EQ(typeOf(newEvent(type)), std::nullopt) << type;
  }
}

TEST(WaylandSession, IsToldByTheSessionTypeOrAWaylandDisplay) {
  EXPECT_FALSE(isWaylandSession(nullptr, nullptr));
  EXPECT_FALSE(isWaylandSession("x11", nullptr));
  EXPECT_FALSE(isWaylandSession("x11", ""));
  EXPECT_TRUE(isWaylandSession("wayland", nullptr));
  EXPECT_TRUE(isWaylandSession(nullptr, "wayland-0"));
  EXPECT_TRUE(isWaylandSession("tty", "wayland-0"));
}

}  // namespace
}  // namespace hushpad
