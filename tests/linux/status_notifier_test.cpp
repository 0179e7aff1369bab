#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/linux/sni/pixmap.h"
#include "platform/linux/sni/status_notifier_item.h"
#include "platform/linux/switching_status_item.h"

namespace hushpad::linux {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Hosts read each pixel as alpha, red, green, blue, in that byte order, with
// the colour not premultiplied: as a GdkPixbuf keeps it, only moved.
TEST(StatusNotifierPixmap, IsArgbInNetworkOrderRowByRow) {
  struct Case {
    const char* what;
    Bytes pixels;
    int width, height, rowstride;
    bool hasAlpha;
    StatusNotifierPixmap expected;
  };
  const std::vector<Case> cases{
      {"rgba", {0x10, 0x20, 0x30, 0x80, 0xAA, 0xBB, 0xCC, 0x00}, 2, 1, 8, true,
       {2, 1, {0x80, 0x10, 0x20, 0x30, 0x00, 0xAA, 0xBB, 0xCC}}},
      {"rows padded to 8 bytes", {1, 2, 3, 4, 0xEE, 0xEE, 0xEE, 0xEE, 5, 6, 7, 8}, 1, 2, 8, true,
       {1, 2, {4, 1, 2, 3, 8, 5, 6, 7}}},
      {"rgb is opaque", {1, 2, 3, 4, 5, 6}, 2, 1, 6, false, {2, 1, {0xFF, 1, 2, 3, 0xFF, 4, 5, 6}}},
      {"no pixels", {}, 0, 0, 0, true, {}},
      {"rows shorter than the width", {1, 2, 3, 4}, 2, 1, 4, true, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(pixmapFromRgba(c.pixels.empty() ? nullptr : c.pixels.data(), c.width, c.height,
                             c.rowstride, c.hasAlpha),
              c.expected);
  }
}

TEST(StatusNotifierPixmap, PropertyCarriesEverySizeAsWidthHeightBytes) {
  std::vector<StatusNotifierPixmap> pixmaps;
  for (const int size : kStatusNotifierIconSizes) {
    pixmaps.push_back({size, size, Bytes(static_cast<std::size_t>(size * size * 4), 0x7F)});
  }
  pixmaps.push_back({});  // a size that could not be drawn is left out
  GVariant* value = g_variant_ref_sink(iconPixmapVariant(pixmaps));
  EXPECT_STREQ(g_variant_get_type_string(value), "a(iiay)");
  ASSERT_EQ(g_variant_n_children(value), kStatusNotifierIconSizes.size());
  for (std::size_t i = 0; i < kStatusNotifierIconSizes.size(); ++i) {
    gint32 width = 0;
    gint32 height = 0;
    GVariant* bytes = nullptr;
    g_variant_get_child(value, i, "(ii@ay)", &width, &height, &bytes);
    EXPECT_EQ(width, kStatusNotifierIconSizes[i]);
    EXPECT_EQ(height, kStatusNotifierIconSizes[i]);
    gsize length = 0;
    const auto* data = static_cast<const std::uint8_t*>(
        g_variant_get_fixed_array(bytes, &length, sizeof(std::uint8_t)));
    EXPECT_EQ(Bytes(data, data + length), pixmaps[i].argb);
    g_variant_unref(bytes);
  }
  g_variant_unref(value);
}

// A kind of tray item that writes what it is told into a shared log.
struct LoggingKind final : TrayKindButton {
  LoggingKind(std::string name, std::vector<std::string>& log) : name(std::move(name)), log(log) {}
  ~LoggingKind() override { say("gone"); }
  void say(const std::string& what) { log.push_back(name + " " + what); }
  void setTitle(const std::string& title) override { say("title '" + title + "'"); }
  void setImage(std::shared_ptr<Image>) override { say("image"); }
  void setImagePosition(ImagePosition) override { say("position"); }
  void setToolTip(const std::string& toolTip) override { say("tip " + toolTip); }
  void setAccessibilityLabel(const std::string& label) override { say("label " + label); }
  void performClick() override {
    say("click");
    if (duringClick) duringClick();
  }
  std::optional<Rect> screenFrame() const override { return makeRect(1, 2, 3, 4); }
  bool isVisible() const override { return true; }
  void shown() override { say("shown"); }
  void setClickSink(ClickSink s) override { sink = std::move(s); }
  void setMenu(const Menu* menu) override { say(menu != nullptr ? "menu" : "no menu"); }
  void setStandingMenu(std::function<Menu()> menu) override {
    say("standing " + menu().items.front().title);
  }
  std::string name;
  std::vector<std::string>& log;
  std::function<void()> duringClick;
  ClickSink sink;
};

struct Image1 final : Image {};

struct Queue final : MainQueue {
  void async(std::function<void()> task) override { tasks.push_back(std::move(task)); }
  void asyncAfter(double, std::function<void()> task) override { async(std::move(task)); }
  void run() {
    auto now = std::move(tasks);
    tasks.clear();
    for (auto& task : now) task();
  }
  std::vector<std::function<void()>> tasks;
};

struct Target final : ActionTarget {
  void performAction(Action) override {
    ++actions;
    if (during) during();
  }
  int actions = 0;
  std::function<void()> during;
};

struct Switching : ::testing::Test {
  Switching() {
    button.setTarget(&target, Action::StatusItemClicked);
    button.sendActionOn(std::uint64_t{1} << 2);  // left mouse-up only
  }
  LoggingKind& show(const std::string& name) {
    auto kind = std::make_unique<LoggingKind>(name, log);
    LoggingKind& shown = *kind;
    button.switchTo(std::move(kind));
    return shown;
  }
  std::vector<std::string> log;
  LinuxApplication application;
  Queue queue;
  Target target;
  SwitchingStatusButton button{application, queue};
};

TEST_F(Switching, AKindTakesOverAllThatWasShownOnceTheOldOneHasGone) {
  EXPECT_EQ(button.screenFrame(), std::nullopt);
  EXPECT_FALSE(button.isVisible());
  button.performClick();  // nothing shows the item: nothing to click
  button.setImage(std::make_shared<Image1>());
  button.setToolTip("Hushpad locked");

  show("xembed");
  EXPECT_EQ(log, (std::vector<std::string>{"xembed title ''", "xembed image",
                                           "xembed tip Hushpad locked", "xembed no menu",
                                           "xembed shown"}));
  EXPECT_EQ(button.screenFrame(), makeRect(1, 2, 3, 4));
  log.clear();
  button.setAccessibilityLabel("Hushpad locked");
  button.setStandingMenu([] { return Menu{{{"Lock Now", Action::LockNow, "", false, nullptr}}}; });
  EXPECT_EQ(log, (std::vector<std::string>{"xembed label Hushpad locked",
                                           "xembed standing Lock Now"}));

  log.clear();
  LoggingKind& sni = show("sni");
  EXPECT_EQ(log.front(), "xembed gone");
  EXPECT_EQ(log.back(), "sni shown");
  EXPECT_NE(std::ranges::find(log, "sni label Hushpad locked"), log.end());
  EXPECT_NE(std::ranges::find(log, "sni standing Lock Now"), log.end());
  // The kind reports clicks; the item keeps the target and the mask.
  sni.sink(MouseEventType::LeftMouseUp);
  sni.sink(MouseEventType::RightMouseUp);
  EXPECT_EQ(target.actions, 1);

  log.clear();
  button.switchTo(nullptr);
  EXPECT_EQ(log, std::vector<std::string>{"sni gone"});
  EXPECT_FALSE(button.isVisible());
  // An unlocking click the input lock hands over counts with no kind shown.
  button.mouseUp(MouseEventType::LeftMouseUp);
  EXPECT_EQ(target.actions, 2);
}

// A panel may restart while the item's menu is open, or while the action of
// a click on it runs (an alert): the kind stays until it is off the stack,
// and the move comes on a later pass of the main loop.
TEST_F(Switching, AMoveDuringAClickWaitsForTheKindToBeOffTheStack) {
  LoggingKind& sni = show("sni");
  sni.duringClick = [&] {
    button.switchTo(nullptr);
    button.switchTo(std::make_unique<LoggingKind>("xembed", log));
    button.setToolTip("Hushpad locked");  // the menu's "Lock Now"
  };
  log.clear();
  button.performClick();
  EXPECT_EQ(log, (std::vector<std::string>{"sni click", "sni tip Hushpad locked"}));
  queue.run();
  EXPECT_EQ(log[2], "sni gone");
  EXPECT_NE(std::ranges::find(log, "xembed tip Hushpad locked"), log.end());
  EXPECT_EQ(log.back(), "xembed shown");

  LoggingKind& xembed = *static_cast<LoggingKind*>(button.kind());
  target.during = [&] { button.switchTo(std::make_unique<LoggingKind>("sni2", log)); };
  log.clear();
  xembed.sink(MouseEventType::LeftMouseUp);  // from inside the kind's own handler
  EXPECT_TRUE(log.empty());
  queue.run();
  EXPECT_EQ(log.front(), "xembed gone");
  EXPECT_EQ(log.back(), "sni2 shown");
}

}  // namespace
}  // namespace hushpad::linux
