#pragma once
// What a click on the status item's button sends, and to whom: the same for
// every kind of tray item.

#include <cstdint>
#include <optional>

#include "platform/actions.h"
#include "platform/linux/application.h"

namespace hushpad::linux {

class ButtonAction {
 public:
  explicit ButtonAction(LinuxApplication& application) : application_(application) {}

  void setTarget(ActionTarget* target, Action action) {
    target_ = target;
    action_ = action;
  }
  void setMask(std::uint64_t mask) { mask_ = mask; }
  // A mouse button released on the item: sends the action if the mask asks
  // for this kind of release.
  void mouseUp(MouseEventType type);
  // Sends the action with type as the current event, as the click's release is
  // while a button's action runs.
  void send(std::optional<MouseEventType> type);

 private:
  LinuxApplication& application_;
  ActionTarget* target_ = nullptr;
  Action action_ = Action::None;
  std::uint64_t mask_ = 0;
};

}  // namespace hushpad::linux
