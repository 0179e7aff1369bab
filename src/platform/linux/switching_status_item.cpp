#include "platform/linux/switching_status_item.h"

namespace hushpad::linux {

void SwitchingStatusButton::switchTo(std::unique_ptr<TrayKindButton> kind) {
  if (callDepth_ > 0) {
    waitingKind_ = std::move(kind);
    return;
  }
  waitingKind_.reset();
  // The old kind goes first, so that the two never show at once.
  kind_.reset();
  kind_ = std::move(kind);
  if (kind_) show(*kind_);
}

void SwitchingStatusButton::show(TrayKindButton& kind) {
  kind.setTitle(title_);
  if (image_) kind.setImage(image_);
  if (imagePosition_) kind.setImagePosition(*imagePosition_);
  kind.setClickSink([this](std::optional<MouseEventType> release) { clicked(release); });
  if (toolTip_) kind.setToolTip(*toolTip_);
  if (label_) kind.setAccessibilityLabel(*label_);
  kind.setMenu(menu_ ? &*menu_ : nullptr);
  if (standingMenu_) kind.setStandingMenu(standingMenu_);
  kind.shown();
}

// A kind may be on the stack below (its click handler, its menu): a move
// that came meanwhile waits until all of that has returned.
void SwitchingStatusButton::leave() {
  if (--callDepth_ > 0 || !waitingKind_) return;
  queue_.async([this, alive = std::weak_ptr<int>(alive_)] {
    if (alive.expired() || callDepth_ > 0 || !waitingKind_) return;
    std::unique_ptr<TrayKindButton> next = std::move(*waitingKind_);
    switchTo(std::move(next));
  });
}

void SwitchingStatusButton::clicked(std::optional<MouseEventType> release) {
  enter();
  if (release) {
    action_.mouseUp(*release);
  } else {
    action_.send(std::nullopt);
  }
  leave();
}

void SwitchingStatusButton::setTitle(const std::string& title) {
  title_ = title;
  if (kind_) kind_->setTitle(title);
}

void SwitchingStatusButton::setImage(std::shared_ptr<Image> image) {
  image_ = image;
  if (kind_) kind_->setImage(std::move(image));
}

void SwitchingStatusButton::setImagePosition(ImagePosition position) {
  imagePosition_ = position;
  if (kind_) kind_->setImagePosition(position);
}

void SwitchingStatusButton::setTarget(ActionTarget* target, Action action) {
  action_.setTarget(target, action);
}

void SwitchingStatusButton::sendActionOn(std::uint64_t mask) { action_.setMask(mask); }

void SwitchingStatusButton::setToolTip(const std::string& toolTip) {
  toolTip_ = toolTip;
  if (kind_) kind_->setToolTip(toolTip);
}

void SwitchingStatusButton::setAccessibilityLabel(const std::string& label) {
  label_ = label;
  if (kind_) kind_->setAccessibilityLabel(label);
}

// With no kind to show the menu on there is nothing to click.
void SwitchingStatusButton::performClick() {
  if (!kind_) return;
  enter();
  kind_->performClick();
  leave();
}

std::optional<Rect> SwitchingStatusButton::screenFrame() const {
  return kind_ ? kind_->screenFrame() : std::nullopt;
}

bool SwitchingStatusButton::isVisible() const { return kind_ && kind_->isVisible(); }

void SwitchingStatusButton::setMenu(const Menu* menu) {
  menu_ = menu != nullptr ? std::optional(*menu) : std::nullopt;
  if (kind_) kind_->setMenu(menu);
}

void SwitchingStatusButton::setStandingMenu(std::function<Menu()> menu) {
  standingMenu_ = std::move(menu);
  if (kind_) kind_->setStandingMenu(standingMenu_);
}

}  // namespace hushpad::linux
