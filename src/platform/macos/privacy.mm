#include "platform/macos/privacy.h"

#import <ApplicationServices/ApplicationServices.h>
#include <Carbon/Carbon.h>
#import <Foundation/Foundation.h>
#include <IOKit/hidsystem/IOHIDLib.h>

namespace hushpad::macos {

InputAccess SystemPrivacyAccess::inputAccess() {
  return {.hasPrivilegesToGrant = true,
          .accessibilityTrusted = AXIsProcessTrusted() != false,
          .inputMonitoringGranted =
              IOHIDCheckAccess(kIOHIDRequestTypeListenEvent) == kIOHIDAccessTypeGranted,
          .sessionCanBeHeld = true,
          .secureKeyboardEntry = IsSecureEventInputEnabled() != false,
          .secureKeyboardEntryExists = true};
}

void SystemPrivacyAccess::promptForAccessibility() {
  NSDictionary* options = @{(__bridge id)kAXTrustedCheckOptionPrompt : @YES};
  (void)AXIsProcessTrustedWithOptions((__bridge CFDictionaryRef)options);
}

void SystemPrivacyAccess::requestInputMonitoring() {
  (void)IOHIDRequestAccess(kIOHIDRequestTypeListenEvent);
}

}  // namespace hushpad::macos
