#pragma once
// Objective-C++ only. The status item in the system menu bar, its button and
// its menu. Main thread only.

#import <AppKit/AppKit.h>

#include <unordered_map>

#include "platform/macos/action_bridge.h"
#include "platform/status_item.h"

namespace hushpad::macos {

// Holds the item and its button weakly: the status item owns it.
class AppKitStatusButton final : public StatusButton {
 public:
  AppKitStatusButton(NSStatusItem* item, NSStatusBarButton* button)
      : item_(item), button_(button) {}

  void setTitle(const std::string& title) override;
  void setImage(std::shared_ptr<Image> image) override;
  void setImagePosition(ImagePosition position) override;
  void setTarget(ActionTarget* target, Action action) override;
  void sendActionOn(std::uint64_t mask) override;
  void setToolTip(const std::string& toolTip) override;
  void setAccessibilityLabel(const std::string& label) override;
  void performClick() override;
  std::optional<Rect> screenFrame() const override;
  // The item is shown (not removed from the menu bar) and its window is on
  // screen and not covered.
  bool isVisible() const override;

 private:
  __weak NSStatusItem* item_;
  __weak NSStatusBarButton* button_;
  HushpadBridge* target_ = nil;  // the button's target is weak; this keeps it
};

// Owns the NSStatusItem; destroying it takes the item off the menu bar.
class AppKitStatusItem final : public StatusItem {
 public:
  explicit AppKitStatusItem(NSStatusItem* item);
  AppKitStatusItem(const AppKitStatusItem&) = delete;
  AppKitStatusItem& operator=(const AppKitStatusItem&) = delete;
  ~AppKitStatusItem() override;

  std::shared_ptr<StatusButton> button() override;
  void setMenu(const Menu* menu) override;

 private:
  HushpadBridge* menuTarget(ActionTarget* target);

  NSStatusItem* item_;
  std::shared_ptr<AppKitStatusButton> button_;  // one wrapper for the item's life
  // A menu item's target is weak, and AppKit may deliver its action after the
  // menu has been detached: the bridges live as long as the item.
  std::unordered_map<ActionTarget*, HushpadBridge*> menuTargets_;
};

class AppKitStatusBar final : public StatusBar {
 public:
  std::unique_ptr<StatusItem> statusItem(double length) override;
  // Sends the newest item's button its action, as a click on it would.
  void clickNewestItem();

 private:
  __weak NSStatusItem* newestItem_ = nil;
};

}  // namespace hushpad::macos
