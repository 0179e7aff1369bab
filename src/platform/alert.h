#pragma once
// A modal alert. Main thread only; the presenter keeps nothing of an alert
// once it has been answered.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace hushpad {

struct AlertContent {
  std::string title;
  std::string informativeText;
  std::vector<std::string> buttons;  // in order; the first is the default
  friend bool operator==(const AlertContent&, const AlertContent&) = default;
};

class AlertPresenter {
 public:
  virtual ~AlertPresenter() = default;
  // Shows the alert and waits until it is dismissed. Returns the index of the
  // chosen button, or nothing when it was dismissed another way.
  virtual std::optional<std::size_t> runModal(const AlertContent& alert) = 0;
};

}  // namespace hushpad
