#pragma once
// The status item as the program sees it, shown by whichever kind of tray item
// the desktop has now (a StatusNotifierItem, an XEmbed icon). A panel that
// restarts may bring another kind: the item moves there with all it shows,
// and the program keeps the same item and button throughout.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/status_item.h"

namespace hushpad::linux {

// One kind of tray item's button: a status button that also takes the
// releases the input lock let through to it, and the item's menus.
class TrayKindButton : public StatusButton {
 public:
  // Everything there is to show has been set: the item may appear now. The
  // kind before it has gone.
  virtual void shown() {}
  virtual void mouseUp(MouseEventType type) = 0;
  virtual void setMenu(const Menu* menu) = 0;
  virtual void setStandingMenu(std::function<Menu()> /*menu*/) {}
};

class SwitchingStatusButton final : public StatusButton {
 public:
  // Shows everything set so far on kind, which takes over from the one before
  // (nullptr: nothing shows the item). While the current kind is inside a call
  // of this button (its menu is open, its action is running), the move waits
  // until that call has returned.
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

  void mouseUp(MouseEventType type);
  void setMenu(const Menu* menu);
  void setStandingMenu(std::function<Menu()> menu);

 private:
  void show(TrayKindButton& kind) const;
  // Runs call on the current kind, then any move that came meanwhile.
  template <typename Call>
  void inCall(Call call);

  std::unique_ptr<TrayKindButton> kind_;
  std::optional<std::unique_ptr<TrayKindButton>> waitingKind_;
  int callDepth_ = 0;

  std::string title_;
  std::shared_ptr<Image> image_;
  std::optional<ImagePosition> imagePosition_;
  ActionTarget* target_ = nullptr;
  Action action_ = Action::None;
  std::uint64_t mask_ = 0;
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
