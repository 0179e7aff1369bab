#pragma once
// The status item as the program sees it, shown by whichever kind of tray item
// the desktop has now (a StatusNotifierItem, an XEmbed icon). A panel that
// restarts may bring another kind: the item moves there with all it shows,
// and the program keeps the same item and button throughout. The clicks are
// the item's own business, not the kind's: an unlocking click the input lock
// hands over is sent even while no kind shows the item.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/application.h"
#include "platform/linux/application.h"
#include "platform/linux/button_action.h"
#include "platform/status_item.h"

namespace hushpad::linux {

// Where a kind of tray item reports a click on it: the kind of release, or
// nothing for a click that sends the action whatever the mask (performClick).
using ClickSink = std::function<void(std::optional<MouseEventType> release)>;

// One kind of tray item's button. It shows the look, reports clicks to its
// sink and shows the menus; the target and the mask stay with the item.
class TrayKindButton : public StatusButton {
 public:
  // Everything there is to show has been set: the item may appear now. The
  // kind before it has gone.
  virtual void shown() {}
  virtual void setClickSink(ClickSink sink) = 0;
  virtual void setMenu(const Menu* menu) = 0;
  virtual void setStandingMenu(std::function<Menu()> /*menu*/) {}
  void setTarget(ActionTarget*, Action) final {}
  void sendActionOn(std::uint64_t) final {}
};

class SwitchingStatusButton final : public StatusButton {
 public:
  // Moves to another kind on a later pass of queue.
  SwitchingStatusButton(LinuxApplication& application, MainQueue& queue)
      : action_(application), queue_(queue) {}

  // Shows everything set so far on kind, which takes over from the one before
  // (nullptr: nothing shows the item). While a call of this button or of the
  // current kind is running (its menu is open, its click's action runs), the
  // move waits for a pass of the main loop after it has returned.
  void switchTo(std::unique_ptr<TrayKindButton> kind);
  TrayKindButton* kind() const { return kind_.get(); }

  void setTitle(const std::string& title) override;
  void setImage(std::shared_ptr<Image> image) override;
  void setImagePosition(ImagePosition position) override;
  void setTarget(ActionTarget* target, Action action) override;
  void sendActionOn(std::uint64_t mask) override;
  void setToolTip(const std::string& toolTip) override;
  void setAccessibilityLabel(const std::string& label) override;
  void performClick() override;
  std::optional<Rect> screenFrame() const override;
  bool isVisible() const override;

  // A release on the item, or one the input lock judged an unlocking click.
  void mouseUp(MouseEventType type) { clicked(type); }
  void setMenu(const Menu* menu);
  void setStandingMenu(std::function<Menu()> menu);

 private:
  void show(TrayKindButton& kind);
  void clicked(std::optional<MouseEventType> release);
  void enter() { ++callDepth_; }
  void leave();

  ButtonAction action_;
  MainQueue& queue_;
  std::unique_ptr<TrayKindButton> kind_;
  std::optional<std::unique_ptr<TrayKindButton>> waitingKind_;
  int callDepth_ = 0;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);  // for the queued move

  std::string title_;
  std::shared_ptr<Image> image_;
  std::optional<ImagePosition> imagePosition_;
  std::optional<std::string> toolTip_;
  std::optional<std::string> label_;
  std::optional<Menu> menu_;
  std::function<Menu()> standingMenu_;
};

class SwitchingStatusItem final : public StatusItem {
 public:
  explicit SwitchingStatusItem(std::shared_ptr<SwitchingStatusButton> button)
      : button_(std::move(button)) {}
  std::shared_ptr<StatusButton> button() override { return button_; }
  void setMenu(const Menu* menu) override { button_->setMenu(menu); }
  void setStandingMenu(std::function<Menu()> menu) override {
    button_->setStandingMenu(std::move(menu));
  }

 private:
  std::shared_ptr<SwitchingStatusButton> button_;
};

}  // namespace hushpad::linux
