#include "platform/macos/login_item.h"

#import <Foundation/Foundation.h>
#include <objc/message.h>

#include <cstdio>

namespace hushpad::macos {
namespace {

// SMAppServiceStatus.
constexpr NSInteger kNotRegistered = 0;
constexpr NSInteger kEnabled = 1;
constexpr NSInteger kRequiresApproval = 2;

// The framework is loaded on first use; SMAppService is there from macOS 13.
Class appServiceClass() {
  static Class appService = [] {
    [[NSBundle bundleWithPath:@"/System/Library/Frameworks/ServiceManagement.framework"] load];
    return NSClassFromString(@"SMAppService");
  }();
  return appService;
}

// SMAppService.mainAppService: this application as a login item.
id mainAppService() {
  Class appService = appServiceClass();
  SEL selector = NSSelectorFromString(@"mainAppService");
  if (appService == nil || ![appService respondsToSelector:selector]) return nil;
  return reinterpret_cast<id (*)(id, SEL)>(objc_msgSend)(appService, selector);
}

}  // namespace

LoginItemStatus AppServiceLoginItem::status() const {
  id service = mainAppService();
  SEL selector = NSSelectorFromString(@"status");
  if (service == nil || ![service respondsToSelector:selector]) return LoginItemStatus::Unavailable;
  switch (reinterpret_cast<NSInteger (*)(id, SEL)>(objc_msgSend)(service, selector)) {
    case kEnabled:
      return LoginItemStatus::Enabled;
    case kRequiresApproval:
      return LoginItemStatus::NeedsApproval;
    case kNotRegistered:
    default:  // NotFound: not registered as far as the system can tell
      return LoginItemStatus::Disabled;
  }
}

bool AppServiceLoginItem::setEnabled(bool enabled) {
  id service = mainAppService();
  SEL selector = NSSelectorFromString(enabled ? @"registerAndReturnError:"
                                              : @"unregisterAndReturnError:");
  if (service == nil || ![service respondsToSelector:selector]) return false;
  NSError* error = nil;
  const BOOL done =
      reinterpret_cast<BOOL (*)(id, SEL, NSError* __autoreleasing*)>(objc_msgSend)(service, selector,
                                                                                 &error);
  if (!done) {
    std::fprintf(stderr, "Hushpad: Start at Login could not be %s: %s\n",
                 enabled ? "turned on" : "turned off",
                 error != nil ? error.localizedDescription.UTF8String : "no reason given");
  }
  return done;
}

void AppServiceLoginItem::openSettings() {
  Class appService = appServiceClass();
  SEL selector = NSSelectorFromString(@"openSystemSettingsLoginItems");
  if (appService == nil || ![appService respondsToSelector:selector]) return;
  reinterpret_cast<void (*)(id, SEL)>(objc_msgSend)(appService, selector);
}

}  // namespace hushpad::macos
