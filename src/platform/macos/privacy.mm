#include "platform/macos/privacy.h"

#import <ApplicationServices/ApplicationServices.h>
#import <Foundation/Foundation.h>
#include <IOKit/hidsystem/IOHIDLib.h>

namespace hushpad::macos {

bool SystemPrivacyAccess::isAccessibilityTrusted() { return AXIsProcessTrusted(); }

void SystemPrivacyAccess::promptForAccessibility() {
  NSDictionary* options = @{(__bridge id)kAXTrustedCheckOptionPrompt : @YES};
  (void)AXIsProcessTrustedWithOptions((__bridge CFDictionaryRef)options);
}

bool SystemPrivacyAccess::isInputMonitoringGranted() {
  return IOHIDCheckAccess(kIOHIDRequestTypeListenEvent) == kIOHIDAccessTypeGranted;
}

void SystemPrivacyAccess::requestInputMonitoring() {
  (void)IOHIDRequestAccess(kIOHIDRequestTypeListenEvent);
}

}  // namespace hushpad::macos
