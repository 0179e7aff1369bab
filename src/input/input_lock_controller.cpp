#include "input/input_lock_controller.h"

#include <algorithm>
#include <array>

#include "input/keyboard_record.h"
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
      blockedEventTypes_(blockedEventTypes) {
  services_.screens.setChangeHandler([this] { screensChanged(); });
}

InputLockController::~InputLockController() { services_.screens.setChangeHandler(nullptr); }

void InputLockController::screensChanged() {
  if (!isLocked_) return;
  if (unlockMarkFrame_ && reachableMark(currentScreens())) return;
  const std::optional<Rect> old = unlockMarkFrame_ ? unlockMarkFrame_ : markToShowAgain_;
  if (old) placeMarkAgain(*old);
}

// Where the pointer is, else where the mark was: the nearest screen takes it.
// A mark the OS will not show for now (Wayland's cover is down during a pause)
// is shown once the input is held again.
void InputLockController::placeMarkAgain(Rect old) {
  const std::span<const Rect> screens = currentScreens();
  const Point oldCentre{old.origin.x + old.size.width / 2, old.origin.y + old.size.height / 2};
  const std::optional<Rect> place =
      unlockMarkPlace(reachableButtonFrame(screens), buttonFrame(),
                      services_.screens.pointerLocation().value_or(oldCentre), screens);
  if (!place) return;  // no screen at all: nothing to show it on
  if (unlockMarkFrame_) services_.unlockMark.hide();
  unlockMarkFrame_.reset();
  showUnlockMark(*place);
  markToShowAgain_.reset();
  if (!unlockMarkFrame_) markToShowAgain_ = place;
}

void InputLockController::lock(std::optional<Point> lockPoint) {
  if (isLocked_) return;
  if (!services_.privacy.inputAccess().sessionCanBeHeld) {
    showLockRefusedAlert(TapRefusal::SessionCannotBeHeld);
    return;
  }
  if (!permissionController_->requestMissingPermissionsIfNeeded()) return;
  if (services_.privacy.inputAccess().secureKeyboardEntry) {
    services_.alerts.runModal(secureKeyboardEntryAlert());
    return;
  }
  // The event path reads the screens as they were read last: here, and at
  // each change the OS reports.
  services_.screens.refresh();
  // A lock that no click can undo is a lock-out: there must be a place to click.
  // Where the pointer shows itself only to a program that holds the input,
  // its place is asked for again once the input is held.
  const bool pointerComesLater = !lockPoint && services_.screens.pointerLocatedOnlyWhileHeld();
  const std::span<const Rect> screens = currentScreens();
  std::optional<Rect> markPlace =
      unlockMarkPlace(reachableButtonFrame(screens), buttonFrame(), lockPoint, screens);
  if (!markPlace && !pointerComesLater) {
    services_.alerts.runModal(iconHiddenAlert(wording_));
    return;
  }
  if (const std::optional<TapRefusal> refusal = ensureEventTap()) {
    showLockRefusedAlert(*refusal);
    return;
  }
  isLocked_ = true;
  ++lockNumber_;
  graceBudgetSpent_ = false;
  markToShowAgain_.reset();
  gestureLock_->lock();
  if (services_.keyboard != nullptr) {
    keyboardAtLock_ = services_.keyboard->read();
    keepKeyboardState(*keyboardAtLock_);
  }
  const unsigned lockNumber = lockNumber_;
  const bool held = eventTap_->setEnabled(true);
  // Taking the input may run the main loop: a click meanwhile may have ended
  // this lock (and maybe begun another), which is then left as it is.
  if (!isLocked_ || lockNumber_ != lockNumber) {
    if (held && !isLocked_) static_cast<void>(eventTap_->setEnabled(false));
    return;
  }
  if (!held) {
    rollBackLock();
    return;
  }
  if (services_.session != nullptr) {
    services_.session->holdPowerKeys();
    services_.session->watchScreenLockers(this);
  }
  if (pointerComesLater) {
    const std::span<const Rect> heldScreens = currentScreens();
    markPlace = unlockMarkPlace(reachableButtonFrame(heldScreens), buttonFrame(),
                                services_.screens.pointerLocation(), heldScreens);
  }
  if (markPlace) showUnlockMark(*markPlace);
  // A mark that would not show leaves the button, if it can be clicked; with
  // neither, the lock is given up rather than kept with no place to click.
  if (!unlockMarkFrame_ && !reachableButtonFrame(currentScreens())) {
    unlock(/*mayAsk=*/true);
    services_.alerts.runModal(iconHiddenAlert(wording_));
    return;
  }
  if (services_.privacy.inputAccess().secureKeyboardEntryExists) {
    watchSecureKeyboardEntry(lockNumber_);
  }
}

// A password prompt that turns on secure keyboard entry while locked would
// get every key past the tap: the lock is given up at once and the user told,
// with the input free by then.
void InputLockController::watchSecureKeyboardEntry(unsigned lockNumber) {
  services_.mainQueue.asyncAfter(1.0, [this, lockNumber] {
    if (!isLocked_ || lockNumber != lockNumber_) return;
    if (!services_.privacy.inputAccess().secureKeyboardEntry) {
      watchSecureKeyboardEntry(lockNumber);
      return;
    }
    unlock(/*mayAsk=*/false);
    if (forcedUnlockHandler_) forcedUnlockHandler_();
    services_.alerts.runModal(secureEntryTookKeyboardAlert());
  });
}

// Without a mark on screen the button alone is the target, or, while it
// cannot be reached either, the menu-bar strips.
void InputLockController::showUnlockMark(Rect place) {
  const UnlockMarkContent content = unlockMarkContent_ ? unlockMarkContent_() : UnlockMarkContent{};
  if (services_.unlockMark.show(place, content)) unlockMarkFrame_ = place;
}

// The tap could not start (another client holds the input): undo the lock so
// the status item never shows a lock that is not there.
void InputLockController::rollBackLock() {
  isLocked_ = false;
  keyboardAtLock_.reset();  // nothing reached it
  forgetKeyboardState();
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
  paused_ = false;
  if (eventTap_) static_cast<void>(eventTap_->setEnabled(false));  // as in rollBackLock()
  if (unlockMarkFrame_) services_.unlockMark.hide();
  unlockMarkFrame_.reset();
  markToShowAgain_.reset();
  // What a wipe or a cat toggled (Caps Lock, sticky keys...) goes back as it was.
  if (keyboardAtLock_ && services_.keyboard != nullptr) services_.keyboard->apply(*keyboardAtLock_);
  keyboardAtLock_.reset();
  forgetKeyboardState();
  if (services_.session != nullptr) {
    services_.session->watchScreenLockers(nullptr);
    services_.session->releasePowerKeys();
  }
  restoreGestures(mayAsk);
}

bool isScreenLockerGrab(const GrabRequest& request) noexcept {
  return request.keyboard && (request.onRootWindow || request.onMonitorCover);
}

void InputLockController::inputWantedElsewhere() {
  if (!graceBudgetSpent_) pause(/*withGrace=*/true);
}

void InputLockController::machineGoingToSleep() { pause(/*withGrace=*/true); }

void InputLockController::grabRequested(const GrabRequest& request) {
  if (isScreenLockerGrab(request)) inputWantedElsewhere();
}

void InputLockController::inputTakenElsewhere() {
  if (!isLocked_ || !eventTap_) return;
  if (paused_ && !resumeAllowed_) return;  // a grace runs: it ends as it would have
  pause(/*withGrace=*/false);
}

void InputLockController::pause(bool withGrace) {
  if (!isLocked_ || !eventTap_ || (paused_ && withGrace)) return;
  if (!paused_) {
    // Input taken from under the lock is gone already: whatever still holds
    // a part of it (a cover with the keyboard's focus) stays, so that
    // nothing is let go to the applications meanwhile.
    if (withGrace) static_cast<void>(eventTap_->setEnabled(false));  // letting go cannot fail
    services_.unlockMark.keepOnTop(false);
  }
  paused_ = true;
  resumeAllowed_ = !withGrace;
  const unsigned lockNumber = lockNumber_;
  const unsigned pauseNumber = ++pauseNumber_;
  if (!withGrace) {
    retakeInASecond(lockNumber, pauseNumber);
    return;
  }
  services_.mainQueue.asyncAfter(kOtherProgramGrace, [this, lockNumber, pauseNumber] {
    graceEnded(lockNumber, pauseNumber);
  });
}

// Nobody holding the input when the grace ends means nobody used it: the
// budget is spent for the rest of its window.
void InputLockController::graceEnded(unsigned lockNumber, unsigned pauseNumber) {
  if (!isPausedFor(lockNumber, pauseNumber)) return;
  resumeAllowed_ = true;
  if (!tryToResume()) {
    retakeInASecond(lockNumber, pauseNumber);
    return;
  }
  graceBudgetSpent_ = true;
  services_.mainQueue.asyncAfter(kGraceBudgetWindow - kOtherProgramGrace, [this, lockNumber] {
    if (lockNumber == lockNumber_) graceBudgetSpent_ = false;
  });
}

void InputLockController::inputMayBeFree() {
  if (paused_ && resumeAllowed_) tryToResume();
}

bool InputLockController::isPausedFor(unsigned lockNumber, unsigned pauseNumber) const {
  return isLocked_ && paused_ && lockNumber == lockNumber_ && pauseNumber == pauseNumber_;
}

// Tries now, then once a second for as long as the pause lasts.
void InputLockController::retakeInput(unsigned lockNumber, unsigned pauseNumber) {
  if (!isPausedFor(lockNumber, pauseNumber) || tryToResume()) return;
  retakeInASecond(lockNumber, pauseNumber);
}

void InputLockController::retakeInASecond(unsigned lockNumber, unsigned pauseNumber) {
  services_.mainQueue.asyncAfter(1.0, [this, lockNumber, pauseNumber] {
    retakeInput(lockNumber, pauseNumber);
  });
}

// Succeeds only where no other program holds the input any more.
bool InputLockController::tryToResume() {
  if (!eventTap_->setEnabled(true)) return false;
  paused_ = false;
  services_.unlockMark.keepOnTop(true);
  if (markToShowAgain_) placeMarkAgain(*markToShowAgain_);
  return true;
}

void InputLockController::restoreGesturesLeftLocked() {
  if (isLocked_) return;
  restoreKeyboardLeftLocked();
  restoreGestures(/*mayAsk=*/true);
}

void InputLockController::keepKeyboardState(const KeyboardState& state) {
  if (services_.defaults == nullptr) return;
  const std::string record = encodeKeyboardState(state);
  services_.defaults->setData(
      kKeyboardDefaultsKey,
      {reinterpret_cast<const std::uint8_t*>(record.data()), record.size()});
  static_cast<void>(services_.defaults->synchronize());  // kept in memory all the same
}

void InputLockController::forgetKeyboardState() {
  if (services_.defaults != nullptr) services_.defaults->removeObject(kKeyboardDefaultsKey);
}

void InputLockController::restoreKeyboardLeftLocked() {
  if (services_.defaults == nullptr) return;
  const StoredData data = services_.defaults->dataForKey(kKeyboardDefaultsKey);
  if (!data.bytes) return;  // none, or tried again at the next start
  if (const std::optional<KeyboardState> state = decodeKeyboardState(*data.bytes);
      state && services_.keyboard != nullptr) {
    services_.keyboard->apply(*state);
  }
  forgetKeyboardState();
}

// Without a readable backup the settings stay off for good, so the user is
// told once per run and may reset them; a restore that did not take keeps the
// backup for the next try and is told once per run too. The tap is off by now.
void InputLockController::restoreGestures(bool mayAsk) {
  const GestureRestore restore = gestureLock_->unlock();
  if (restore == GestureRestore::NotPutBack && mayAsk && !notPutBackReported_) {
    notPutBackReported_ = true;
    services_.alerts.runModal(settingsNotPutBackAlert(wording_));
  }
  if (restore != GestureRestore::Unreadable) return;
  if (!mayAsk || unreadableBackupReported_) return;
  unreadableBackupReported_ = true;
  if (services_.alerts.runModal(unreadableBackupAlert(wording_)) == kResetGesturesButton) {
    gestureLock_->resetAfterUnreadableBackup();
  }
}

std::optional<TapRefusal> InputLockController::ensureEventTap() {
  if (eventTap_) return std::nullopt;
  const std::uint64_t mask = blockedEventTypes_.eventMask();
  TapCreation created = services_.eventTaps.createTap(mask, *this);
  if (!created.tap) return created.refusal;
  // A tap that would not see every blocked type would let those through under
  // a "locked" icon: the system withholds them from an untrusted process.
  if ((mask & ~created.eventsOfInterest) != 0) return TapRefusal::Privacy;
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
  if (!isUnlockingClickType(type)) return TapVerdict::Swallow;
  return unlocksAt(location) ? TapVerdict::Unlock : TapVerdict::Swallow;
}

// The system switched the tap off. While locked it goes straight back on; a tap
// that will not, or a process that lost Accessibility, means the lock no longer
// holds, and it is given up rather than shown. Asking the system about its
// privileges has no place inside the tap's callback: that is looked at on the
// next main-loop pass.
void InputLockController::handleTapDisabled() noexcept {
  if (!isLocked_ || !eventTap_) return;
  if (!eventTap_->setEnabled(true)) {
    queueForcedUnlock();
    return;
  }
  const unsigned lockNumber = lockNumber_;
  services_.mainQueue.async([this, lockNumber] {
    if (!isLocked_ || lockNumber != lockNumber_) return;
    const InputAccess access = services_.privacy.inputAccess();
    if (access.hasPrivilegesToGrant && !access.accessibilityTrusted) forceUnlock();
  });
}

// Unlocking writes preferences and posts notifications, which has no place
// inside the tap's callback, so it runs on the next main-loop pass; only for
// the lock it was queued in.
void InputLockController::queueForcedUnlock() noexcept {
  const unsigned lockNumber = lockNumber_;
  services_.mainQueue.async([this, lockNumber] {
    if (isLocked_ && lockNumber == lockNumber_) forceUnlock();
  });
}

void InputLockController::forceUnlock() {
  unlock();
  if (forcedUnlockHandler_) forcedUnlockHandler_();
}

// A release unlocks on or near the unlock mark or the status button while
// it can be reached; only while neither is there, in the menu-bar strip of a
// screen. The location is converted once, through the main screen.
bool InputLockController::unlocksAt(Point location) const noexcept {
  const std::span<const Rect> screens = currentScreens();
  const Point p = flippedLocation(location, screens);
  const std::optional<Rect> mark = reachableMark(screens);
  if (mark && unlockTargetHit(*mark, p)) return true;
  const std::optional<Rect> frame = buttonFrame();
  const bool nearButton = frame && unlockTargetHit(*frame, p);
  const bool inStrip = !mark && menuBarStripHit(p, screens);
  // Far from both, reachability does not matter.
  if (!nearButton && !inStrip) return false;
  return reachableButtonFrame(screens) ? nearButton : inStrip;
}

std::span<const Rect> InputLockController::currentScreens() const noexcept {
  const std::size_t count =
      std::min(services_.screens.copyFrames(frameBuffer_), frameBuffer_.size());
  return {frameBuffer_.data(), count};
}

std::optional<Rect> InputLockController::reachableMark(
    std::span<const Rect> screens) const noexcept {
  if (!unlockMarkFrame_) return std::nullopt;
  const Rect mark = services_.unlockMark.frame().value_or(*unlockMarkFrame_);
  if (!statusButtonReachable(mark, screens, {})) return std::nullopt;
  return mark;
}

std::optional<Rect> InputLockController::buttonFrame() const noexcept {
  const std::shared_ptr<StatusButton> button = statusButton.lock();
  return button ? button->screenFrame() : std::nullopt;
}

std::optional<Rect> InputLockController::reachableButtonFrame(
    std::span<const Rect> screens) const noexcept {
  const std::shared_ptr<StatusButton> button = statusButton.lock();
  if (!button || !button->isVisible()) return std::nullopt;
  const std::optional<Rect> frame = button->screenFrame();
  if (!frame) return std::nullopt;
  const std::size_t count =
      std::min(services_.screens.copyCameraHousings(housingBuffer_), housingBuffer_.size());
  if (!statusButtonReachable(*frame, screens, {housingBuffer_.data(), count})) {
    return std::nullopt;
  }
  return frame;
}

void InputLockController::showLockRefusedAlert(TapRefusal reason) {
  const std::optional<std::size_t> answer =
      services_.alerts.runModal(lockRefusedAlert(reason, wording_));
  if (reason == TapRefusal::Privacy && answer == kOpenSettingsButton) {
    services_.workspace.openURL(kAccessibilityPaneURL);
  }
}

}  // namespace hushpad
