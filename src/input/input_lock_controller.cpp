#include "input/input_lock_controller.h"

#include <algorithm>
#include <array>

namespace hushpad {
namespace {

constexpr std::size_t kOpenSettingsButton = 0;

AlertContent defaultTapRefusedAlert() {
  return {"Hushpad needs input permissions",
          "macOS blocked the event tap. Open System Settings and allow this app under Privacy & "
          "Security -> Accessibility and Input Monitoring, then relaunch it.",
          {"Open Settings", "Cancel"}};
}

const AlertContent& inputHeldElsewhereAlert() {
  static const AlertContent alert{
      "Hushpad could not lock the input",
      "Another application is holding the keyboard or the pointer. Try again in a moment.",
      {"OK"}};
  return alert;
}

bool isTapDisabledNotification(EventType type) {
  return type == kEventTapDisabledByTimeout || type == kEventTapDisabledByUserInput;
}

}  // namespace

InputLockController::InputLockController(
    InputLockServices services, std::unique_ptr<TrackpadGestureLock> gestureLock,
    std::unique_ptr<InputPermissionController> permissionController,
    BlockedEventTypes blockedEventTypes)
    : services_(services),
      gestureLock_(std::move(gestureLock)),
      permissionController_(std::move(permissionController)),
      blockedEventTypes_(blockedEventTypes),
      tapRefusedAlert_(defaultTapRefusedAlert()) {}

void InputLockController::lock() {
  if (isLocked_) return;
  if (!permissionController_->requestMissingPermissionsIfNeeded()) return;
  if (!ensureEventTap()) {
    showPermissionsAlert();
    return;
  }
  isLocked_ = true;
  gestureLock_->lock();
  if (!eventTap_->setEnabled(true)) rollBackLock();
}

// The tap could not start (another client holds the input): undo the lock so
// the status item never shows a lock that is not there.
void InputLockController::rollBackLock() {
  isLocked_ = false;
  eventTap_->setEnabled(false);
  gestureLock_->unlock();
  services_.alerts.runModal(inputHeldElsewhereAlert());
}

void InputLockController::unlock() {
  if (!isLocked_) return;
  isLocked_ = false;
  if (eventTap_) eventTap_->setEnabled(false);
  gestureLock_->unlock();
}

bool InputLockController::ensureEventTap() {
  if (eventTap_) return true;
  std::unique_ptr<EventTap> tap =
      services_.eventTaps.createTap(blockedEventTypes_.eventMask(), *this);
  if (!tap) return false;
  eventTap_ = std::move(tap);
  eventTap_->setEnabled(false);
  return true;
}

TapVerdict InputLockController::eventTapCallback(EventType type, Point location) noexcept {
  if (isTapDisabledNotification(type)) {
    handleTapDisabled();
    return TapVerdict::Pass;
  }
  if (!isLocked_ || !blockedEventTypes_.contains(type)) return TapVerdict::Pass;
  if (!isHitTestedEventType(type)) return TapVerdict::Swallow;
  return pointerMayPass(location) ? TapVerdict::Pass : TapVerdict::Swallow;
}

// The system switched the tap off. While locked it goes straight back on, unless
// the process lost Accessibility or the input is now held elsewhere: then the
// lock is given up rather than showing a lock that no longer holds.
void InputLockController::handleTapDisabled() noexcept {
  if (!isLocked_ || !eventTap_) return;
  if (!services_.privacy.isAccessibilityTrusted()) {
    eventTap_->setEnabled(false);
    queueForcedUnlock();
    return;
  }
  if (!eventTap_->setEnabled(true)) queueForcedUnlock();
}

// Unlocking writes preferences and posts notifications, which has no place
// inside the tap's callback, so it runs on the next main-loop pass.
void InputLockController::queueForcedUnlock() noexcept {
  services_.mainQueue.async([this] {
    if (!isLocked_) return;
    unlock();
    if (forcedUnlockHandler_) forcedUnlockHandler_();
  });
}

// A click, drag or scroll passes on or near the status button, or, with no
// button on screen, in the menu-bar strip of a screen.
bool InputLockController::pointerMayPass(Point location) const noexcept {
  std::array<Rect, kMaxScreens> frames;
  const std::size_t count = std::min(services_.screens.copyFrames(frames), frames.size());
  const std::span<const Rect> screens(frames.data(), count);
  if (const std::shared_ptr<StatusButton> button = statusButton.lock()) {
    if (const std::optional<Rect> frame = button->screenFrame()) {
      return statusButtonHit(*frame, location, screens);
    }
  }
  return menuBarStripHit(location, screens);
}

void InputLockController::showPermissionsAlert() {
  if (services_.alerts.runModal(tapRefusedAlert_) == kOpenSettingsButton) {
    services_.workspace.openURL(kAccessibilityPaneURL);
  }
}

}  // namespace hushpad
