#pragma once
// In-memory status button: records what was set on it, and lets a test place
// it on screen (or take it out of its window).

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/status_item.h"

namespace hushpad::fakes {

class FakeStatusButton final : public StatusButton {
 public:
  void setTitle(const std::string& t) override { title = t; }
  void setImage(std::shared_ptr<Image> i) override { image = std::move(i); }
  void setImagePosition(ImagePosition p) override { imagePosition = p; }
  void setTarget(ActionTarget* t, Action a) override {
    target = t;
    action = a;
  }
  void sendActionOn(std::uint64_t mask) override { sendActionMask = mask; }
  void setToolTip(const std::string& t) override { toolTip = t; }
  void setAccessibilityLabel(const std::string& l) override { accessibilityLabel = l; }
  void performClick() override {
    if (onPerformClick) onPerformClick();
  }
  std::optional<Rect> screenFrame() const override {
    return inWindow ? std::optional(frame) : std::nullopt;
  }
  bool isVisible() const override { return visible; }

  std::string title = "(unset)";
  std::shared_ptr<Image> image;
  std::optional<ImagePosition> imagePosition;
  ActionTarget* target = nullptr;
  Action action = Action::None;
  std::uint64_t sendActionMask = 0;
  std::string toolTip;
  std::string accessibilityLabel;
  std::function<void()> onPerformClick;  // e.g. choose a menu item

  bool inWindow = true;
  bool visible = true;  // shown and not covered
  Rect frame{{1000, 876}, {24, 24}};
};

}  // namespace hushpad::fakes
