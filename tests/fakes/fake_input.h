#pragma once
// In-memory stand-ins for the services of the input lock: privileges, alerts,
// the workspace, the event tap and the screen list.

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/alert.h"
#include "platform/event_tap.h"
#include "platform/privacy.h"
#include "platform/screens.h"
#include "platform/session.h"
#include "platform/workspace.h"

namespace hushpad::fakes {

// An OS with privileges to grant, both granted unless a test says otherwise. A
// request can grant its privilege, as the user would in the system's prompt.
// Records every call.
class FakePrivacyAccess final : public PrivacyAccess {
 public:
  InputAccess inputAccess() override {
    calls.emplace_back("inputAccess");
    return {hasPrivilegesToGrant, accessibilityTrusted, inputMonitoringGranted, sessionCanBeHeld,
            secureKeyboardEntry};
  }
  void promptForAccessibility() override {
    calls.emplace_back("promptForAccessibility");
    accessibilityTrusted = accessibilityAfterPrompt.value_or(accessibilityTrusted);
  }
  void requestInputMonitoring() override {
    calls.emplace_back("requestInputMonitoring");
    inputMonitoringGranted = inputMonitoringAfterRequest.value_or(inputMonitoringGranted);
  }

  bool hasPrivilegesToGrant = true;
  bool accessibilityTrusted = true;
  bool inputMonitoringGranted = true;
  bool sessionCanBeHeld = true;
  bool secureKeyboardEntry = false;
  std::optional<bool> accessibilityAfterPrompt;
  std::optional<bool> inputMonitoringAfterRequest;
  std::vector<std::string> calls;
};

// Records every alert and answers from the queue; dismissed once it is empty.
class FakeAlertPresenter final : public AlertPresenter {
 public:
  std::optional<std::size_t> runModal(const AlertContent& alert) override {
    shown.push_back(alert);
    if (whileShown) whileShown();
    if (answers.empty()) return std::nullopt;
    const std::optional<std::size_t> answer = answers.front();
    answers.pop_front();
    return answer;
  }

  std::vector<AlertContent> shown;
  std::deque<std::optional<std::size_t>> answers;
  std::function<void()> whileShown;  // runs while each alert is up
};

class FakeWorkspace final : public Workspace {
 public:
  bool openURL(const std::string& url) override {
    opened.push_back(url);
    return true;
  }

  std::vector<std::string> opened;
};

// Records every change of its enabled state; can refuse to be enabled, as when
// another client holds the input.
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

// Hands out FakeEventTaps, or nothing when the system "refuses" (for the
// reason given). Keeps a plain pointer to the newest tap, which its owner keeps
// alive.
class FakeEventTapFactory final : public EventTapFactory {
 public:
  TapCreation createTap(std::uint64_t mask, EventTapClient& tapClient) override {
    masks.push_back(mask);
    if (refuseCreation) return {nullptr, refusal};
    auto tap = std::make_unique<FakeEventTap>();
    tap->refuseEnable = refuseEnable;
    lastTap = tap.get();
    client = &tapClient;
    return {std::move(tap), TapRefusal::Privacy, eventsOfInterest};
  }

  bool refuseCreation = false;
  TapRefusal refusal = TapRefusal::Privacy;
  std::uint64_t eventsOfInterest = ~std::uint64_t{0};  // what the system lets a new tap see
  bool refuseEnable = false;         // given to the taps made from now on
  std::vector<std::uint64_t> masks;  // one per attempt, refused ones included
  FakeEventTap* lastTap = nullptr;
  EventTapClient* client = nullptr;
};

// Records what is held and watched: "holdPowerKeys", "releasePowerKeys",
// "watch", "unwatch".
class FakeLoginSession final : public LoginSession {
 public:
  void holdPowerKeys() override { calls.emplace_back("holdPowerKeys"); }
  void releasePowerKeys() override { calls.emplace_back("releasePowerKeys"); }
  void watchScreenLockers(ScreenLockerListener* l) override {
    calls.emplace_back(l != nullptr ? "watch" : "unwatch");
    listener = l;
  }

  ScreenLockerListener* listener = nullptr;
  std::vector<std::string> calls;
};

class FakeScreens final : public Screens {
 public:
  std::size_t copyFrames(std::span<Rect> out) const override { return copy(frames, out); }
  std::size_t copyCameraHousings(std::span<Rect> out) const override {
    return copy(housings, out);
  }

  std::vector<Rect> frames;
  std::vector<Rect> housings;  // none unless a test gives some

 private:
  static std::size_t copy(const std::vector<Rect>& from, std::span<Rect> out) {
    std::copy_n(from.begin(), std::min(out.size(), from.size()), out.begin());
    return from.size();
  }
};

}  // namespace hushpad::fakes
