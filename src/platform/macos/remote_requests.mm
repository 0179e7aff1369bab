#include "platform/macos/remote_requests.h"

#import <AppKit/AppKit.h>
#include <Carbon/Carbon.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr const char* kFallbackBundleIdentifier = "app.hushpad.Hushpad";
constexpr OSType kHotKeySignature = (OSType{'H'} << 24) | (OSType{'U'} << 16) | (OSType{'S'} << 8) | 'H';
constexpr UInt32 kLockHotKeyId = 1;

NSString* bundleIdentifier() {
  NSString* identifier = [NSBundle mainBundle].bundleIdentifier;
  return identifier != nil ? identifier : @(kFallbackBundleIdentifier);
}

// Posted by a second process, heard by the running one.
NSString* notificationName(bool lock) {
  return [bundleIdentifier() stringByAppendingString:lock ? @".lock" : @".unlock"];
}

// hushpad://lock, hushpad:lock; the same for unlock. Anything else: nothing.
std::optional<hushpad::Action> actionForURL(NSURL* url) {
  if (url == nil || [url.scheme caseInsensitiveCompare:@"hushpad"] != NSOrderedSame) {
    return std::nullopt;
  }
  NSString* what = url.host.length > 0 ? url.host : url.resourceSpecifier;
  if ([what caseInsensitiveCompare:@"lock"] == NSOrderedSame) return hushpad::Action::LockRequested;
  if ([what caseInsensitiveCompare:@"unlock"] == NSOrderedSame) {
    return hushpad::Action::UnlockRequested;
  }
  return std::nullopt;
}

// The hot key's letter as a virtual key code of the ANSI layout.
std::optional<UInt32> keyCodeFor(const std::string& key) {
  static constexpr std::pair<char, UInt32> kCodes[] = {
      {'a', kVK_ANSI_A}, {'b', kVK_ANSI_B}, {'c', kVK_ANSI_C}, {'d', kVK_ANSI_D},
      {'e', kVK_ANSI_E}, {'f', kVK_ANSI_F}, {'g', kVK_ANSI_G}, {'h', kVK_ANSI_H},
      {'i', kVK_ANSI_I}, {'j', kVK_ANSI_J}, {'k', kVK_ANSI_K}, {'l', kVK_ANSI_L},
      {'m', kVK_ANSI_M}, {'n', kVK_ANSI_N}, {'o', kVK_ANSI_O}, {'p', kVK_ANSI_P},
      {'q', kVK_ANSI_Q}, {'r', kVK_ANSI_R}, {'s', kVK_ANSI_S}, {'t', kVK_ANSI_T},
      {'u', kVK_ANSI_U}, {'v', kVK_ANSI_V}, {'w', kVK_ANSI_W}, {'x', kVK_ANSI_X},
      {'y', kVK_ANSI_Y}, {'z', kVK_ANSI_Z}};
  if (key.size() != 1) return std::nullopt;
  for (const auto& [letter, code] : kCodes) {
    if (letter == key[0]) return code;
  }
  return std::nullopt;
}

UInt32 carbonModifiers(std::uint8_t modifiers) {
  UInt32 mask = 0;
  if (modifiers & hushpad::kKeyModifierControl) mask |= controlKey;
  if (modifiers & hushpad::kKeyModifierOption) mask |= optionKey;
  if (modifiers & hushpad::kKeyModifierShift) mask |= shiftKey;
  if (modifiers & hushpad::kKeyModifierCommand) mask |= cmdKey;
  return mask;
}

OSStatus hotKeyPressed(EventHandlerCallRef, EventRef event, void* requests) {
  EventHotKeyID hotKey{};
  if (GetEventParameter(event, kEventParamDirectObject, typeEventHotKeyID, nullptr, sizeof hotKey,
                        nullptr, &hotKey) != noErr) {
    return eventNotHandledErr;
  }
  if (hotKey.signature != kHotKeySignature || hotKey.id != kLockHotKeyId) return eventNotHandledErr;
  static_cast<hushpad::macos::AppKitRemoteRequests*>(requests)->send(
      hushpad::Action::LockShortcutPressed);
  return noErr;
}

}  // namespace

// The Apple event of a URL opened with Hushpad, passed to the requests.
@interface HushpadURLHandler : NSObject
- (instancetype)initWithRequests:(hushpad::macos::AppKitRemoteRequests*)requests
    NS_DESIGNATED_INITIALIZER;
- (instancetype)init NS_UNAVAILABLE;
- (void)handleGetURL:(NSAppleEventDescriptor*)event withReplyEvent:(NSAppleEventDescriptor*)reply;
@end

@implementation HushpadURLHandler {
  hushpad::macos::AppKitRemoteRequests* _requests;
}

- (instancetype)initWithRequests:(hushpad::macos::AppKitRemoteRequests*)requests {
  if ((self = [super init])) _requests = requests;
  return self;
}

- (void)handleGetURL:(NSAppleEventDescriptor*)event withReplyEvent:(NSAppleEventDescriptor*)reply {
  (void)reply;
  NSString* text = [event paramDescriptorForKeyword:keyDirectObject].stringValue;
  if (text == nil) return;
  if (const std::optional<hushpad::Action> action = actionForURL([NSURL URLWithString:text])) {
    _requests->send(*action);
  }
}

@end

namespace hushpad::macos {

int sendLockCommand(bool lock) {
  @autoreleasepool {
    const pid_t self = getpid();
    bool running = false;
    for (NSRunningApplication* application in
         [NSRunningApplication runningApplicationsWithBundleIdentifier:bundleIdentifier()]) {
      if (application.processIdentifier != self && !application.terminated) running = true;
    }
    if (!running) {
      std::fputs("Hushpad is not running.\n", stderr);
      return EXIT_FAILURE;
    }
    [[NSDistributedNotificationCenter defaultCenter] postNotificationName:notificationName(lock)
                                                                   object:nil
                                                                 userInfo:nil
                                                       deliverImmediately:YES];
    return EXIT_SUCCESS;
  }
}

AppKitRemoteRequests::AppKitRemoteRequests()
    : urlHandler_([[HushpadURLHandler alloc] initWithRequests:this]) {
  installURLHandler();
  for (const bool lock : {true, false}) {
    notificationObservers_[lock ? 0 : 1] = [[NSDistributedNotificationCenter defaultCenter]
        addObserverForName:notificationName(lock)
                    object:nil
                     queue:[NSOperationQueue mainQueue]
                usingBlock:^(NSNotification*) {
                  send(lock ? Action::LockRequested : Action::UnlockRequested);
                }];
  }
}

AppKitRemoteRequests::~AppKitRemoteRequests() {
  stopListening();
  [[NSAppleEventManager sharedAppleEventManager] removeEventHandlerForEventClass:kInternetEventClass
                                                                      andEventID:kAEGetURL];
  for (id observer : notificationObservers_) {
    if (observer != nil) [[NSDistributedNotificationCenter defaultCenter] removeObserver:observer];
  }
}

void AppKitRemoteRequests::installURLHandler() {
  [[NSAppleEventManager sharedAppleEventManager] setEventHandler:urlHandler_
                                                     andSelector:@selector(handleGetURL:withReplyEvent:)
                                                   forEventClass:kInternetEventClass
                                                      andEventID:kAEGetURL];
}

void AppKitRemoteRequests::listen(ActionTarget* target, const KeyShortcut& preferred) {
  target_ = target;
  stopped_ = false;
  // Again once launched: whatever AppKit set up while launching, the URL
  // comes here.
  installURLHandler();
  registerHotKey(preferred);
  // Those that came while the program was starting (the URL that launched it).
  std::vector<Action> waiting;
  waiting.swap(waiting_);
  for (const Action action : waiting) send(action);
}

void AppKitRemoteRequests::stopListening() {
  target_ = nullptr;
  stopped_ = true;
  waiting_.clear();
  unregisterHotKey();
}

// On a later pass of the main loop, as a menu item's action comes.
void AppKitRemoteRequests::send(Action action) {
  if (stopped_) return;
  if (target_ == nullptr) {
    waiting_.push_back(action);
    return;
  }
  dispatch_async(dispatch_get_main_queue(), ^{
    if (target_ != nullptr) target_->performAction(action);
  });
}

void AppKitRemoteRequests::registerHotKey(const KeyShortcut& shortcut) {
  if (hotKey_ != nullptr) return;
  const std::optional<UInt32> keyCode = keyCodeFor(shortcut.key);
  if (!keyCode) return;
  const EventTypeSpec pressed{kEventClassKeyboard, kEventHotKeyPressed};
  EventHandlerRef handler = nullptr;
  if (InstallEventHandler(GetApplicationEventTarget(), hotKeyPressed, 1, &pressed, this, &handler) !=
      noErr) {
    return;
  }
  EventHotKeyRef hotKey = nullptr;
  const OSStatus status = RegisterEventHotKey(*keyCode, carbonModifiers(shortcut.modifiers),
                                              EventHotKeyID{kHotKeySignature, kLockHotKeyId},
                                              GetApplicationEventTarget(), 0, &hotKey);
  if (status != noErr) {
    // Another application holds these keys: no shortcut, and none shown.
    std::fprintf(stderr, "Hushpad: the lock shortcut could not be registered (%d).\n",
                 static_cast<int>(status));
    RemoveEventHandler(handler);
    return;
  }
  hotKey_ = hotKey;
  hotKeyHandler_ = handler;
  granted_ = shortcut;
}

void AppKitRemoteRequests::unregisterHotKey() {
  if (hotKey_ != nullptr) UnregisterEventHotKey(static_cast<EventHotKeyRef>(hotKey_));
  if (hotKeyHandler_ != nullptr) RemoveEventHandler(static_cast<EventHandlerRef>(hotKeyHandler_));
  hotKey_ = nullptr;
  hotKeyHandler_ = nullptr;
  granted_.reset();
}

}  // namespace hushpad::macos
