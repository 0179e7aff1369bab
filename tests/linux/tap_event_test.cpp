#include <gtest/gtest.h>

#include <vector>

#include "platform/linux/tap_events.h"
#include "platform/linux/x11/privacy.h"

namespace hushpad::linux {
namespace {

struct Mapping {
  GdkEventType xType;
  guint detail;  // the button; the buttons held during motion; whether a key is a modifier
  std::optional<EventType> type;  // nothing: not reported
  std::optional<MouseEventType> release = std::nullopt;
};

std::optional<TapEvent> translate(const Mapping& mapping) {
  GdkEvent* event = gdk_event_new(mapping.xType);
  const GdkEventType x = mapping.xType;
  if (x == GDK_BUTTON_PRESS || x == GDK_BUTTON_RELEASE) event->button.button = mapping.detail;
  if (x == GDK_MOTION_NOTIFY) event->motion.state = static_cast<GdkModifierType>(mapping.detail);
  if (x == GDK_KEY_PRESS || x == GDK_KEY_RELEASE) event->key.is_modifier = mapping.detail;
  const std::optional<TapEvent> translated = translateTapEvent(*event);
  gdk_event_free(event);
  return translated;
}

TEST(TapEvent, EachXEventHasItsEventTypeAndOnlyReleasesAMouseUp) {
  // clang-format off
  const std::vector<Mapping> mappings{
      {GDK_BUTTON_PRESS, 1, 1}, {GDK_BUTTON_RELEASE, 1, 2, MouseEventType::LeftMouseUp},
      {GDK_BUTTON_PRESS, 3, 3}, {GDK_BUTTON_RELEASE, 3, 4, MouseEventType::RightMouseUp},
      {GDK_BUTTON_PRESS, 2, 25}, {GDK_BUTTON_RELEASE, 8, 26, MouseEventType::Other},
      // Plain movement is never held; a drag is.
      {GDK_MOTION_NOTIFY, 0, std::nullopt}, {GDK_MOTION_NOTIFY, GDK_SHIFT_MASK, std::nullopt},
      {GDK_MOTION_NOTIFY, GDK_BUTTON1_MASK | GDK_BUTTON3_MASK, 6},
      {GDK_MOTION_NOTIFY, GDK_BUTTON3_MASK, 7}, {GDK_MOTION_NOTIFY, GDK_BUTTON2_MASK, 27},
      {GDK_KEY_PRESS, false, 10}, {GDK_KEY_RELEASE, false, 11}, {GDK_KEY_PRESS, true, 12},
      {GDK_SCROLL, 0, 22}, {GDK_TOUCH_BEGIN, 0, 1}, {GDK_TOUCH_UPDATE, 0, 6},
      {GDK_TOUCH_END, 0, 2, MouseEventType::LeftMouseUp}, {GDK_TOUCH_CANCEL, 0, std::nullopt},
      {GDK_2BUTTON_PRESS, 1, std::nullopt}, {GDK_ENTER_NOTIFY, 0, std::nullopt}};
  // clang-format on
  for (const Mapping& mapping : mappings) {
    SCOPED_TRACE(::testing::Message() << "row " << &mapping - mappings.data());
    const std::optional<TapEvent> event = translate(mapping);
    EXPECT_EQ(event ? std::optional(event->type) : std::nullopt, mapping.type);
    EXPECT_EQ(event ? event->release : std::nullopt, mapping.release);
  }
}

// A grab holds all input only under X itself.
TEST(WaylandSession, IsToldByTheSessionTypeOrAWaylandDisplay) {
  EXPECT_FALSE(isWaylandSession(nullptr, nullptr) || isWaylandSession("x11", ""));
  EXPECT_TRUE(isWaylandSession("wayland", nullptr) && isWaylandSession("x11", "wayland-0"));
}

}  // namespace
}  // namespace hushpad::linux
