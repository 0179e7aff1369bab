#pragma once
// Owns the lock state and the session event tap that enforces it.

#include <array>
#include <functional>
#include <memory>

#include "gestures/trackpad_gesture_lock.h"
#include "input/event_decision.h"
#include "input/input_permission_controller.h"
#include "platform/alert.h"
#include "platform/application.h"
#include "platform/event_tap.h"
#include "platform/keyboard.h"
#include "platform/privacy.h"
#include "platform/screens.h"
#include "platform/session.h"
#include "platform/status_item.h"
#include "platform/unlock_mark.h"
#include "platform/user_defaults.h"
#include "platform/wording.h"
#include "platform/workspace.h"

namespace hushpad {

// The OS services the controller uses besides its gesture lock and permission
// controller; the application shell uses some of them too.
struct InputLockServices {
  EventTapFactory& eventTaps;
  Screens& screens;
  AlertPresenter& alerts;
  Workspace& workspace;
  PrivacyAccess& privacy;
  MainQueue& mainQueue;
  UnlockMarkWindow& unlockMark;
  // Where the OS has a login session to care for while locked.
  LoginSession* session = nullptr;
  // Where the OS can tell and put back the keyboard's own state.
  KeyboardStateAccess* keyboard = nullptr;
  // Where the keyboard's state is kept while locked, for a start after a
  // crash to put back; nothing: in memory only.
  UserDefaults* defaults = nullptr;
};

// How long another program has to take the input after a sign that it wants
// to (GNOME's locker tries once), before the lock takes the input back.
inline constexpr double kOtherProgramGrace = 3.0;
// A grace that nobody used spends the signs' budget for this long from its
// start: whatever a program does, the input is free at most
// kOtherProgramGrace in any kGraceBudgetWindow unless another program holds it.
inline constexpr double kGraceBudgetWindow = 30.0;

// Whether another program's grab request looks like a screen locker's.
bool isScreenLockerGrab(const GrabRequest& request) noexcept;

class InputLockController final : public EventTapClient, public ScreenLockerListener {
 public:
  InputLockController(InputLockServices services, PlatformWording wording,
                      std::unique_ptr<TrackpadGestureLock> gestureLock,
                      std::unique_ptr<InputPermissionController> permissionController,
                      BlockedEventTypes blockedEventTypes);
  ~InputLockController() override;
  InputLockController(const InputLockController&) = delete;
  InputLockController& operator=(const InputLockController&) = delete;

  bool isLocked() const { return isLocked_; }
  // lockPoint: where the pointer was at the click on the status item that
  // asked for this lock (screen coordinates); the unlock mark goes there
  // unless the status button is.
  void lock(std::optional<Point> lockPoint = std::nullopt);
  // Unlocks and restores the gesture settings; an unreadable backup is then
  // offered a reset (once per run), with the input already free.
  void unlock();
  // The same for a process about to end: never asks anything.
  void unlockForTermination();
  // Restores the keyboard's state and the gesture settings that a run which
  // ended while locked left changed, asking as unlock() does. Only while unlocked.
  void restoreGesturesLeftLocked();
  // Makes sure the tap exists: nothing when it does, otherwise why the system
  // refused it.
  [[nodiscard]] std::optional<TapRefusal> ensureEventTap();
  TapVerdict eventTapCallback(EventType type, Point location) noexcept override;
  bool acceptsUnlockClicks() const noexcept override { return isLocked_; }
  // Another program that wants the input gets it: the lock lets go of the
  // input (paused) and shows "locked" still, with the settings off and the
  // power keys held. A sign opens one grace of kOtherProgramGrace: signs
  // during a pause extend nothing. When the grace ends with nobody holding
  // the input the lock takes it back, and the grace counts against the
  // budget: signs that any program can give open no other grace within
  // kGraceBudgetWindow of it. While another program holds the input, the lock
  // takes it back once it lets go (told by inputMayBeFree(), and tried once a
  // second). Each lock starts with its budget whole.
  void inputWantedElsewhere() override;
  // The machine sleeps next: nothing typed reaches anyone meanwhile, and the
  // locker that locks before the sleep always gets its grace.
  void machineGoingToSleep() override;
  // Only a request that looks like a screen locker's is a sign: the keyboard
  // for the root window, or for a shield over a whole monitor.
  void grabRequested(const GrabRequest& request) override;
  // The input is gone already: paused, without a grace, until it is free.
  void inputTakenElsewhere() override;
  void inputMayBeFree() override;
  bool isPaused() const { return paused_; }
  // The screens changed: an unlock mark that no screen holds any more (its
  // monitor unplugged) is shown again where the pointer is, or on the nearest
  // screen, so that there is always something to click; if it cannot be shown
  // while paused, then once the input is held again.
  void screensChanged();
  // The alert for a tap refused by the system's privacy rules.
  void showPermissionsAlert() { showLockRefusedAlert(TapRefusal::Privacy); }
  void showLockRefusedAlert(TapRefusal reason);

  // Held weakly: the status item owns its button.
  std::weak_ptr<StatusButton> statusButton;

  // Called after the controller unlocked by itself (the system took the event
  // tap away, a password prompt took the keyboard); the owner refreshes its UI.
  void setForcedUnlockHandler(std::function<void()> handler) {
    forcedUnlockHandler_ = std::move(handler);
  }
  // What the unlock mark shows; asked at each lock.
  void setUnlockMarkContent(std::function<UnlockMarkContent()> content) {
    unlockMarkContent_ = std::move(content);
  }
  // Where the unlock mark is while locked (screen coordinates); nothing
  // while unlocked or when none could be shown.
  std::optional<Rect> unlockMarkFrame() const { return unlockMarkFrame_; }

  TrackpadGestureLock& gestureLock() { return *gestureLock_; }
  InputPermissionController& permissionController() { return *permissionController_; }
  const BlockedEventTypes& blockedEventTypes() const { return blockedEventTypes_; }
  bool hasEventTap() const { return eventTap_ != nullptr; }

 private:
  void rollBackLock();
  void unlock(bool mayAsk);
  void restoreGestures(bool mayAsk);
  // The keyboard as the lock found it, kept in the defaults (crash-safe) and
  // put back; a record that cannot be read is dropped.
  void keepKeyboardState(const KeyboardState& state);
  void forgetKeyboardState();
  void restoreKeyboardLeftLocked();
  void handleTapDisabled() noexcept;
  // While locked where secure keyboard entry exists: looks about once a second.
  void watchSecureKeyboardEntry(unsigned lockNumber);
  bool isPausedFor(unsigned lockNumber, unsigned pauseNumber) const;
  // Lets go of the input for another program, with a grace or without.
  void pause(bool withGrace);
  void graceEnded(unsigned lockNumber, unsigned pauseNumber);
  void retakeInput(unsigned lockNumber, unsigned pauseNumber);
  void retakeInASecond(unsigned lockNumber, unsigned pauseNumber);
  bool tryToResume();
  void queueForcedUnlock() noexcept;
  // Unlocks and tells the owner: the lock no longer held. Main queue only.
  void forceUnlock();
  bool unlocksAt(Point location) const noexcept;
  // The unlock mark as the user can click it: where it is now, while it lies
  // on a screen (a monitor unplugged while locked may take it away).
  std::optional<Rect> reachableMark(std::span<const Rect> screens) const noexcept;
  void showUnlockMark(Rect place);
  // Shows the mark again on a screen, the one that was at old having gone.
  void placeMarkAgain(Rect old);
  // The status button's frame, when it has one.
  std::optional<Rect> buttonFrame() const noexcept;
  // The status button as the user can click it: its frame, when it is shown,
  // inside a screen and clear of a camera housing.
  std::optional<Rect> reachableButtonFrame(std::span<const Rect> screens) const noexcept;
  // The screens' frames as last read (Screens::refresh), in frameBuffer_.
  std::span<const Rect> currentScreens() const noexcept;

  InputLockServices services_;
  PlatformWording wording_;
  std::unique_ptr<TrackpadGestureLock> gestureLock_;
  std::unique_ptr<InputPermissionController> permissionController_;
  bool isLocked_ = false;
  BlockedEventTypes blockedEventTypes_;
  std::function<void()> forcedUnlockHandler_;
  std::function<UnlockMarkContent()> unlockMarkContent_;
  // Stays where it was shown until the unlock: the place the user saw is
  // the place that unlocks.
  std::optional<Rect> unlockMarkFrame_;
  // A mark that had to move while the OS would not show it (during a pause):
  // it is shown once the input is held again.
  std::optional<Rect> markToShowAgain_;
  // Scratch space of the event path, kept so that no event pays for clearing it.
  mutable std::array<Rect, kMaxScreens> frameBuffer_;
  mutable std::array<Rect, kMaxScreens> housingBuffer_;
  bool unreadableBackupReported_ = false;
  bool notPutBackReported_ = false;
  // The keyboard as it was when the lock began, put back at its end.
  std::optional<KeyboardState> keyboardAtLock_;
  // Counts locks, so that a check queued for an earlier lock does nothing.
  unsigned lockNumber_ = 0;
  // The input let go for another program; resumeAllowed_ once the grace is over.
  bool paused_ = false;
  bool resumeAllowed_ = false;
  unsigned pauseNumber_ = 0;
  // An unused grace began less than kGraceBudgetWindow ago in this lock.
  bool graceBudgetSpent_ = false;
  // Last, so that it goes first: the tap calls back into this object.
  std::unique_ptr<EventTap> eventTap_;
};

}  // namespace hushpad
