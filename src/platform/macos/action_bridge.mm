#include "platform/macos/action_bridge.h"

@implementation HushpadBridge {
  hushpad::ApplicationDelegate* _delegate;
  hushpad::ActionTarget* _actionTarget;
}

- (instancetype)initWithDelegate:(hushpad::ApplicationDelegate*)delegate
                    actionTarget:(hushpad::ActionTarget*)actionTarget {
  if ((self = [super init])) {
    _delegate = delegate;
    _actionTarget = actionTarget;
  }
  return self;
}

- (void)applicationDidFinishLaunching:(NSNotification*)notification {
  (void)notification;
  if (_delegate != nullptr) _delegate->applicationDidFinishLaunching();
}

- (void)applicationWillTerminate:(NSNotification*)notification {
  (void)notification;
  if (_delegate != nullptr) _delegate->applicationWillTerminate();
}

- (void)forwardAction:(hushpad::Action)action {
  if (_actionTarget != nullptr) _actionTarget->performAction(action);
}

- (void)statusItemClicked:(id)sender {
  (void)sender;
  [self forwardAction:hushpad::Action::StatusItemClicked];
}

- (void)lockNow {
  [self forwardAction:hushpad::Action::LockNow];
}

- (void)openPermissions {
  [self forwardAction:hushpad::Action::OpenPermissions];
}

- (void)quit {
  [self forwardAction:hushpad::Action::Quit];
}

- (void)toggleStartAtLogin {
  [self forwardAction:hushpad::Action::ToggleStartAtLogin];
}

@end

namespace hushpad::macos {

SEL selectorForAction(Action action) {
  switch (action) {
    case Action::StatusItemClicked:
      return @selector(statusItemClicked:);
    case Action::LockNow:
      return @selector(lockNow);
    case Action::OpenPermissions:
      return @selector(openPermissions);
    case Action::Quit:
      return @selector(quit);
    case Action::ToggleStartAtLogin:
      return @selector(toggleStartAtLogin);
    // Not from a button or a menu: the remote requests send them themselves.
    case Action::LockRequested:
    case Action::UnlockRequested:
    case Action::LockShortcutPressed:
    case Action::None:
      break;
  }
  return nullptr;
}

}  // namespace hushpad::macos
