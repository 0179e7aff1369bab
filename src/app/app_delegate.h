#pragma once
// The application delegate: launch and termination, the status item with its
// click handling and menu, and the one review request after the first unlock.

#include <memory>
#include <optional>
#include <string>

#include "app/platform.h"
#include "input/input_lock_controller.h"

namespace hushpad {

inline constexpr const char* kFirstUnlockReviewDefaultsKey = "Hushpad.didRequestReviewAfterFirstUnlock";

// The shortcut that locks where the OS lets this program choose it: ⌃⌥⌘L, or
// Ctrl+Alt+Super+L. No shortcut ever unlocks.
inline const KeyShortcut kPreferredLockShortcut{
    "l", kKeyModifierControl | kKeyModifierOption | kKeyModifierCommand};

class AppDelegate final : public ApplicationDelegate, public ActionTarget {
 public:
  explicit AppDelegate(Platform& platform);
  AppDelegate(const AppDelegate&) = delete;
  AppDelegate& operator=(const AppDelegate&) = delete;

  void applicationDidFinishLaunching() override;
  void applicationWillTerminate() override;
  void performAction(Action action) override;

  void configureStatusItem();
  void updateStatusItem();
  void statusItemClicked();
  void lockNow();
  void lockRequested();
  void unlockRequested();
  void toggleStartAtLogin();
  Menu menu();  // the item's menu as it should read now
  void openPermissions();
  void quit();
  void requestReviewAfterFirstUnlockIfNeeded();

  InputLockController& lockController();  // made on first read
  std::shared_ptr<Image> unlockedToolbarImage();  // drawn on first read
  std::shared_ptr<Image> lockedToolbarImage();
  std::shared_ptr<Image> unlockMarkImage();  // drawn on first read
  StatusItem& statusItem() { return *statusItem_; }
  const std::string firstUnlockReviewDefaultsKey = kFirstUnlockReviewDefaultsKey;

 private:
  void lockPath();
  void openMenu();

  Platform& platform_;
  std::unique_ptr<StatusItem> statusItem_;
  std::unique_ptr<InputLockController> lockController_;
  std::shared_ptr<Image> unlockedToolbarImage_;
  std::shared_ptr<Image> lockedToolbarImage_;
  std::shared_ptr<Image> unlockMarkImage_;
  // Where the pointer was at the last click on the status item: a lock from
  // that click, or from the menu it opened, puts the unlock mark there.
  std::optional<Point> lockPoint_;
  bool menuOpen_ = false;  // the menu of a click on the item is showing
};

// The program's start, the same on every OS: the application, the one delegate,
// installed, then the main event loop.
int runHushpad(Platform& platform);

}  // namespace hushpad
