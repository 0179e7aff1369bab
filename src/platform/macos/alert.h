#pragma once
// Modal alerts with NSAlert.

#include "platform/alert.h"

namespace hushpad::macos {

class AppKitAlertPresenter final : public AlertPresenter {
 public:
  std::optional<std::size_t> runModal(const AlertContent& alert) override;
};

}  // namespace hushpad::macos
