#pragma once
// In-memory stand-ins for the services of the input lock: privileges, alerts,
// the workspace, the event tap and the screen list.

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/alert.h"
#include "platform/event_tap.h"
#include "platform/privacy.h"
#include "platform/screens.h"
#include "platform/workspace.h"

namespace hushpad::fakes {

// Both privileges granted unless a test says otherwise. A request can grant
// its privilege, which models the user allowing it in the system's prompt.
class FakePrivacyAccess final : public PrivacyAccess {
 public:
  bool isAccessibilityTrusted() override {
    calls.emplace_back("isAccessibilityTrusted");
    return accessibilityTrusted;
  }
  void promptForAccessibility() override {
    calls.emplace_back("promptForAccessibility");
    if (accessibilityAfterPrompt) accessibilityTrusted = *accessibilityAfterPrompt;
  }
  bool isInputMonitoringGranted() override {
    calls.emplace_back("isInputMonitoringGranted");
    return inputMonitoringGranted;
  }
  void requestInputMonitoring() override {
    calls.emplace_back("requestInputMonitoring");
    if (inputMonitoringAfterRequest) inputMonitoringGranted = *inputMonitoringAfterRequest;
  }

  // The calls that ask the system for something, in order.
  std::vector<std::string> requests() const {
    std::vector<std::string> out;
    std::copy_if(calls.begin(), calls.end(), std::back_inserter(out), [](const std::string& c) {
      return c == "promptForAccessibility" || c == "requestInputMonitoring";
    });
    return out;
  }

  bool accessibilityTrusted = true;
  bool inputMonitoringGranted = true;
  std::optional<bool> accessibilityAfterPrompt;
  std::optional<bool> inputMonitoringAfterRequest;
  std::vector<std::string> calls;
};

// Records every alert; answers from a queue, then with defaultAnswer
// (nothing: dismissed without a button).
class FakeAlertPresenter final : public AlertPresenter {
 public:
  std::optional<std::size_t> runModal(const AlertContent& alert) override {
    shown.push_back(alert);
    if (whileShown) whileShown(alert);
    if (answers.empty()) return defaultAnswer;
    const std::optional<std::size_t> answer = answers.front();
    answers.pop_front();
    return answer;
  }

  std::vector<AlertContent> shown;
  std::deque<std::optional<std::size_t>> answers;
  std::optional<std::size_t> defaultAnswer;
  std::function<void(const AlertContent&)> whileShown;  // e.g. grant a privilege meanwhile
};

// Records every request; text without a scheme, or with blanks, is no URL and
// opens nothing.
class FakeWorkspace final : public Workspace {
 public:
  bool openURL(const std::string& url) override {
    requested.push_back(url);
    if (!isURL(url)) return false;
    opened.push_back(url);
    return true;
  }

  static bool isURL(const std::string& text) {
    const auto colon = text.find(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == text.size()) return false;
    const auto isSchemeChar = [](unsigned char c) {
      return std::isalnum(c) != 0 || c == '+' || c == '-' || c == '.';
    };
    const auto isBlank = [](unsigned char c) { return std::isspace(c) != 0; };
    return std::isalpha(static_cast<unsigned char>(text[0])) != 0 &&
           std::all_of(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(colon),
                       isSchemeChar) &&
           std::none_of(text.begin(), text.end(), isBlank);
  }

  std::vector<std::string> requested;
  std::vector<std::string> opened;
};

// A tap that records every change of its enabled state. It can refuse to be
// enabled, as when another client holds the input.
class FakeEventTap final : public EventTap {
 public:
  bool setEnabled(bool enable) override {
    enableCalls.push_back(enable);
    if (enable && refuseEnable) return false;
    enabled = enable;
    return true;
  }

  bool enabled = false;
  bool refuseEnable = false;
  std::vector<bool> enableCalls;
};

// Hands out FakeEventTaps, or nothing when the system "refuses". Keeps a plain
// pointer to the newest tap, which its owner keeps alive.
class FakeEventTapFactory final : public EventTapFactory {
 public:
  std::unique_ptr<EventTap> createTap(std::uint64_t mask, EventTapClient& tapClient) override {
    masks.push_back(mask);
    if (refuseCreation) return nullptr;
    auto tap = std::make_unique<FakeEventTap>();
    tap->refuseEnable = refuseEnable;
    lastTap = tap.get();
    client = &tapClient;
    ++tapsCreated;
    return tap;
  }

  bool refuseCreation = false;
  bool refuseEnable = false;         // given to the taps made from now on
  std::vector<std::uint64_t> masks;  // one per attempt, refused ones included
  int tapsCreated = 0;
  FakeEventTap* lastTap = nullptr;
  EventTapClient* client = nullptr;
};

class FakeScreens final : public Screens {
 public:
  std::size_t copyFrames(std::span<Rect> out) const override {
    const std::size_t n = std::min(out.size(), frames.size());
    std::copy_n(frames.begin(), n, out.begin());
    return frames.size();
  }

  std::vector<Rect> frames;
};

}  // namespace hushpad::fakes
