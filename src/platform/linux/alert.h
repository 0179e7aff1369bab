#pragma once
// Modal alerts as GTK message dialogs. Main thread only; a dialog lives only
// while it is shown.

#include "platform/alert.h"

namespace hushpad::linux {

// The buttons in the given order, the first the default.
class GtkAlertPresenter final : public AlertPresenter {
 public:
  std::optional<std::size_t> runModal(const AlertContent& alert) override;
};

}  // namespace hushpad::linux
