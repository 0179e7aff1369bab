#pragma once
// Objective-C++ only. The one Objective-C object AppKit talks to: the
// application's delegate and the target of the status button and menu items.
// Every message is forwarded unchanged to the C++ object behind it.

#import <AppKit/AppKit.h>

#include "platform/actions.h"
#include "platform/application.h"

NS_ASSUME_NONNULL_BEGIN

@interface HushpadBridge : NSObject <NSApplicationDelegate>

// Neither C++ object is owned; each must outlive its use by AppKit.
- (instancetype)initWithDelegate:(nullable hushpad::ApplicationDelegate*)delegate
                    actionTarget:(nullable hushpad::ActionTarget*)actionTarget
    NS_DESIGNATED_INITIALIZER;
- (instancetype)init NS_UNAVAILABLE;

- (void)applicationDidFinishLaunching:(NSNotification*)notification;
- (void)applicationWillTerminate:(NSNotification*)notification;

- (void)statusItemClicked:(nullable id)sender;
- (void)lockNow;
- (void)openPermissions;
- (void)quit;
- (void)toggleStartAtLogin;

@end

namespace hushpad::macos {

// The bridge's selector for an action; NULL for Action::None.
SEL _Nullable selectorForAction(Action action);

}  // namespace hushpad::macos

NS_ASSUME_NONNULL_END
