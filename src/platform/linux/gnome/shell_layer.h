#pragma once
// Hushpad on GNOME Shell, through the program's own Shell extension (see
// shell_link.h): the item in the top bar, the lock as the Shell's modal grab
// over every monitor, the unlock mark drawn by the Shell on that grab's cover.
// These classes only translate between the link's facts and acts and the
// program's interfaces. Main thread only; the entry point owns them all, the
// link outliving the rest.

#include <gdk/gdk.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/event_tap.h"
#include "platform/linux/application.h"
#include "platform/linux/gnome/shell_link.h"
#include "platform/linux/image.h"
#include "platform/linux/login_session.h"
#include "platform/linux/switching_status_item.h"
#include "platform/privacy.h"
#include "platform/screens.h"
#include "platform/unlock_mark.h"

namespace hushpad::linux {

// An image as PNG bytes of pixelSize x pixelSize, templates in color; empty
// when it cannot be rendered.
std::vector<std::uint8_t> renderPng(const Image* image, int pixelSize, const GdkRGBA& color);

class ShellItemButton;

// The status item in the top bar, drawn by the extension.
class ShellStatusBar final : public StatusBar {
 public:
  // The mark in the top bar takes itemColor (the panel's foreground).
  ShellStatusBar(ShellLink& link, LinuxApplication& application, MainQueue& queue,
                 GdkRGBA itemColor);
  ~ShellStatusBar() override;
  std::unique_ptr<StatusItem> statusItem(double length) override;
  // Hands a release that the lock judged an unlocking click to the newest item.
  void deliverMouseUp(MouseEventType type);
  // The link's reports on the item and its menu.
  void itemReleased(unsigned button);
  void menuActivated(unsigned index);
  void forget(ShellItemButton* button);

 private:
  ShellLink& link_;
  LinuxApplication& application_;
  MainQueue& queue_;
  GdkRGBA itemColor_;
  std::weak_ptr<SwitchingStatusButton> newestButton_;
  ShellItemButton* shown_ = nullptr;
};

class ShellItemButton final : public TrayKindButton {
 public:
  ShellItemButton(ShellLink& link, ShellStatusBar& bar, GdkRGBA color)
      : link_(link), bar_(bar), color_(color) {}
  ~ShellItemButton() override;
  void setTitle(const std::string&) override {}
  void setImage(std::shared_ptr<Image> image) override;
  void setImagePosition(ImagePosition) override {}
  void setToolTip(const std::string& toolTip) override;
  void setAccessibilityLabel(const std::string& label) override;
  // With a menu: the Shell opens it; it stays open after this returns, and a
  // choice comes back through menuActivated().
  void performClick() override;
  std::optional<Rect> screenFrame() const override;
  bool isVisible() const override;
  void shown() override;
  void setClickSink(ClickSink sink) override { sink_ = std::move(sink); }
  void setMenu(const Menu* menu) override;

  void released(unsigned button);
  void menuActivated(unsigned index);

 private:
  // The look changes in threes (image, tool tip, label): sent once, on idle.
  void send();
  static gboolean sendNow(gpointer self);

  ShellLink& link_;
  guint sendSource_ = 0;
  ShellStatusBar& bar_;
  GdkRGBA color_;
  bool shown_ = false;
  ClickSink sink_;
  std::shared_ptr<Image> image_;
  std::string toolTip_;
  std::string label_;
  std::optional<Menu> menu_;
  std::optional<Menu> openMenu_;  // the one the Shell shows
};

// Told by the extension that the Shell's screen shield took the input, and
// when it is back afterwards.
class ShellLockerSigns final : public DisplayLockerSigns {
 public:
  void watch(ScreenLockerListener* listener) override { listener_ = listener; }
  void shieldUp() {
    if (listener_ != nullptr) listener_->inputTakenElsewhere();
  }
  void shieldDown() {
    if (listener_ != nullptr) listener_->inputMayBeFree();
  }

 private:
  ScreenLockerListener* listener_ = nullptr;
};

using ShellReleaseHandler = std::function<void(MouseEventType type)>;

// The lock: the extension's modal grab. A grab the extension let go of by
// itself (its watchdog, its being disabled, the Shell gone) is not taken
// again: the lock ends instead.
class ShellEventTaps final : public EventTapFactory {
 public:
  ShellEventTaps(ShellLink& link, ShellReleaseHandler releases)
      : link_(link), releases_(std::move(releases)) {}
  [[nodiscard]] TapCreation createTap(std::uint64_t mask, EventTapClient& client) override;

  bool setEnabled(EventTapClient& client, bool enabled);
  void forget(EventTapClient& client);
  void coverReleased(unsigned button, Point pixel);
  void letGo();

 private:
  ShellLink& link_;
  ShellReleaseHandler releases_;
  EventTapClient* client_ = nullptr;  // the enabled tap's
  bool broken_ = false;
  Point lastLocation_;
};

class ShellScreens final : public Screens {
 public:
  explicit ShellScreens(const ShellLink& link) : link_(link) {}
  std::size_t copyFrames(std::span<Rect> out) const override;
  std::optional<Point> pointerLocation() const override;
  void setChangeHandler(std::function<void()> changed) override { changed_ = std::move(changed); }
  void changed() const {
    if (changed_) changed_();
  }

 private:
  const ShellLink& link_;
  std::function<void()> changed_;
};

class ShellUnlockMark final : public UnlockMarkWindow {
 public:
  explicit ShellUnlockMark(ShellLink& link) : link_(link) {}
  bool show(Rect frame, const UnlockMarkContent& content) override;
  void hide() override { link_.hideMark(); }
  std::optional<Rect> frame() const override;

 private:
  ShellLink& link_;
};

// The Shell's grab needs no privilege of its own.
class ShellInputAccess final : public PrivacyAccess {
 public:
  InputAccess inputAccess() override { return {.hasPrivilegesToGrant = false}; }
  void promptForAccessibility() override {}
  void requestInputMonitoring() override {}
};

}  // namespace hushpad::linux
