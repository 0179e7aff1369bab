#include "input/input_lock_controller.h"

#include <algorithm>
#include <array>

#include "input/refusal_alerts.h"

namespace hushpad {
namespace {

bool isTapDisabledNotification(EventType type) {
  return type == kEventTapDisabledByTimeout || type == kEventTapDisabledByUserInput;
}

}  // namespace

InputLockController::InputLockController(
    InputLockServices services, PlatformWording wording,
    std::unique_ptr<TrackpadGestureLock> gestureLock,
    std::unique_ptr<InputPermissionController> permissionController,
    BlockedEventTypes blockedEventTypes)
    : services_(services),
      wording_(std::move(wording)),
      gestureLock_(std::move(gestureLock)),
      permissionController_(std::move(permissionController)),
      blockedEventTypes_(blockedEventTypes) {}

void InputLockController::lock() {
  if (isLocked_) return;
  if (!services_.privacy.inputAccess().sessionCanBeHeld) {
    showLockRefusedAlert(TapRefusal::SessionCannotBeHeld);
    return;
  }
  if (!permissionController_->requestMissingPermissionsIfNeeded()) return;
  if (const std::optional<TapRefusal> refusal = ensureEventTap()) {
    showLockRefusedAlert(*refusal);
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
  // A tap left on while unlocked passes every event, so its answer changes nothing.
  static_cast<void>(eventTap_->setEnabled(false));
  restoreGestures(/*mayAsk=*/true);
  showLockRefusedAlert(TapRefusal::InputHeldElsewhere);
}

void InputLockController::unlock() { unlock(/*mayAsk=*/true); }

void InputLockController::unlockForTermination() { unlock(/*mayAsk=*/false); }

void InputLockController::unlock(bool mayAsk) {
  if (!isLocked_) return;
  isLocked_ = false;
  if (eventTap_) static_cast<void>(eventTap_->setEnabled(false));  // as in rollBackLock()
  restoreGestures(mayAsk);
}

void InputLockController::restoreGesturesLeftLocked() {
  if (!isLocked_) restoreGestures(/*mayAsk=*/true);
}

// Without a readable backup the settings stay off for good, so the user is
// told once per run and may reset them; the tap is off by now.
void InputLockController::restoreGestures(bool mayAsk) {
  if (gestureLock_->unlock() != GestureRestore::Unreadable) return;
  if (!mayAsk || unreadableBackupReported_) return;
  unreadableBackupReported_ = true;
  if (services_.alerts.runModal(unreadableBackupAlert(wording_)) == kResetGesturesButton) {
    gestureLock_->resetAfterUnreadableBackup();
  }
}

std::optional<TapRefusal> InputLockController::ensureEventTap() {
  if (eventTap_) return std::nullopt;
  TapCreation created = services_.eventTaps.createTap(blockedEventTypes_.eventMask(), *this);
  if (!created.tap) return created.refusal;
  eventTap_ = std::move(created.tap);
  // Switching off a tap that was never on cannot leave anything held.
  static_cast<void>(eventTap_->setEnabled(false));
  return std::nullopt;
}

TapVerdict InputLockController::eventTapCallback(EventType type, Point location) noexcept {
  if (isTapDisabledNotification(type)) {
    handleTapDisabled();
    return TapVerdict::Pass;
  }
  if (!isLocked_ || !blockedEventTypes_.contains(type)) return TapVerdict::Pass;
  if (!isHitTestedEventType(type)) return TapVerdict::Swallow;
  return pointerMayPass(location) ? TapVerdict::PassToStatusItem : TapVerdict::Swallow;
}

// The system switched the tap off. While locked it goes straight back on, unless
// the process lost Accessibility or the input is now held elsewhere: then the
// lock is given up rather than showing a lock that no longer holds.
void InputLockController::handleTapDisabled() noexcept {
  if (!isLocked_ || !eventTap_) return;
  const InputAccess access = services_.privacy.inputAccess();
  if (access.hasPrivilegesToGrant && !access.accessibilityTrusted) {
    static_cast<void>(eventTap_->setEnabled(false));  // the unlock follows in any case
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

void InputLockController::showLockRefusedAlert(TapRefusal reason) {
  const std::optional<std::size_t> answer =
      services_.alerts.runModal(lockRefusedAlert(reason, wording_));
  if (reason == TapRefusal::Privacy && answer == kOpenSettingsButton) {
    services_.workspace.openURL(kAccessibilityPaneURL);
  }
}

}  // namespace hushpad
