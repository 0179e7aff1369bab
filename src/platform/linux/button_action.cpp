#include "platform/linux/button_action.h"

namespace hushpad::linux {

void ButtonAction::mouseUp(MouseEventType type) {
  const auto number = static_cast<std::uint32_t>(type);
  const std::uint64_t bit = number < 64 ? std::uint64_t{1} << number : 0;
  if ((mask_ & bit) != 0) send(type);
}

void ButtonAction::send(std::optional<MouseEventType> type) {
  if (target_ == nullptr) return;
  const std::optional<MouseEventType> outer = application_.currentEventType();
  application_.setCurrentEventType(type);
  target_->performAction(action_);
  application_.setCurrentEventType(outer);
}

}  // namespace hushpad::linux
