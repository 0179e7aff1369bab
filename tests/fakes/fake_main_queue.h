#pragma once
// In-memory main queue: tasks wait until the test runs them.

#include <cstddef>
#include <functional>
#include <utility>
#include <vector>

#include "platform/application.h"

namespace hushpad::fakes {

class FakeMainQueue final : public MainQueue {
 public:
  void async(std::function<void()> task) override { pending.push_back(std::move(task)); }

  // Runs every waiting task in order, including those queued meanwhile.
  // Returns how many ran.
  std::size_t runPending() {
    std::size_t ran = 0;
    while (!pending.empty()) {
      std::function<void()> task = std::move(pending.front());
      pending.erase(pending.begin());
      task();
      ++ran;
    }
    return ran;
  }

  std::vector<std::function<void()>> pending;
};

}  // namespace hushpad::fakes
