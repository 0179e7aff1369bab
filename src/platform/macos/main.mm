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
#include "platform/macos/notifications.h"
#include "platform/macos/preference_store.h"
#include "platform/macos/privacy.h"
#include "platform/macos/screens.h"
#include "platform/macos/status_item.h"
#include "platform/macos/unlock_mark.h"
#include "platform/macos/user_defaults.h"
#include "platform/macos/workspace.h"

int main() {
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
                               .makeGestureOverrides = hushpad::makeTrackpadOverridesTable};
    return hushpad::runHushpad(platform);
  }
}
