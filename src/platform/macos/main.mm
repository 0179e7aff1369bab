// Hushpad for macOS: the AppKit, Core Graphics and Core Foundation services
// gathered into a Platform, then the program's common start.

#import <AppKit/AppKit.h>

#include "app/app_delegate.h"
#include "app/platform.h"
#include "gestures/overrides_table.h"
#include "platform/macos/alert.h"
#include "platform/macos/application.h"
#include "platform/macos/event_tap.h"
#include "platform/macos/image.h"
#include "platform/macos/keyboard.h"
#include "platform/macos/login_item.h"
#include "platform/macos/notifications.h"
#include "platform/macos/preference_store.h"
#include "platform/macos/privacy.h"
#include "platform/macos/remote_requests.h"
#include "platform/macos/screens.h"
#include "platform/macos/status_item.h"
#include "platform/macos/unlock_mark.h"
#include "platform/macos/user_defaults.h"
#include "platform/macos/workspace.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kUsage =
    "Usage: Hushpad [--lock | --unlock]\n"
    "\n"
    "Locks the keyboard, mouse buttons, scrolling and trackpad until you click\n"
    "Hushpad's menu bar item again.\n"
    "\n"
    "To lock: click the item, choose Lock Now, press Control-Option-Command-L,\n"
    "open hushpad://lock, or run 'Hushpad --lock'. The small \"locked\" mark\n"
    "appears where the pointer was.\n"
    "\n"
    "To unlock: click the menu bar item or the \"locked\" mark, or run\n"
    "'Hushpad --unlock' from a second terminal or over ssh: the way out should\n"
    "the mark ever be out of reach. No shortcut unlocks.\n"
    "\n"
    "  --lock     ask the running Hushpad to lock; exit 1 if none is running\n"
    "  --unlock   ask the running Hushpad to unlock; exit 1 if none is running\n";

}  // namespace

// Options other than these (the system's own, such as -NSDocumentRevisions...)
// are left to AppKit.
int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--lock") == 0) return hushpad::macos::sendLockCommand(true);
    if (std::strcmp(argv[i], "--unlock") == 0) return hushpad::macos::sendLockCommand(false);
    if (std::strcmp(argv[i], "--help") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    }
  }
  @autoreleasepool {
    namespace macos = hushpad::macos;
    macos::AppKitApplication application([NSApplication sharedApplication]);
    macos::AppKitStatusBar statusBar;
    macos::AppKitImageFactory images;
    // An unlocking click goes to the status item's action.
    macos::QuartzEventTapFactory eventTaps(
        [&statusBar](hushpad::MouseEventType) { statusBar.clickNewestItem(); });
    macos::AppKitScreens screens;
    macos::SystemPrivacyAccess privacy;
    macos::AppKitAlertPresenter alerts;
    macos::AppKitWorkspace workspace;
    macos::CFPreferenceStore preferences;
    macos::FoundationUserDefaults userDefaults;
    macos::FoundationDistributedNotifications notifications;
    macos::DispatchMainQueue mainQueue;
    macos::StoreKitReviewPrompt reviewPrompt;
    macos::AppKitUnlockMark unlockMark;
    macos::HIDKeyboardState keyboard;
    macos::AppKitRemoteRequests remoteRequests;
    macos::AppServiceLoginItem loginItem;
    hushpad::Platform platform{.application = application,
                               .statusBar = statusBar,
                               .images = images,
                               .input = {.eventTaps = eventTaps,
                                         .screens = screens,
                                         .alerts = alerts,
                                         .workspace = workspace,
                                         .privacy = privacy,
                                         .mainQueue = mainQueue,
                                         .unlockMark = unlockMark,
                                         .keyboard = &keyboard},
                               .preferences = preferences,
                               .userDefaults = userDefaults,
                               .notifications = notifications,
                               .reviewPrompt = reviewPrompt,
                               .makeGestureOverrides = hushpad::makeTrackpadOverridesTable,
                               .remoteRequests = &remoteRequests,
                               .loginItem = &loginItem};
    return hushpad::runHushpad(platform);
  }
}
