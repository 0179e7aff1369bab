#include "platform/macos/workspace.h"

#import <AppKit/AppKit.h>

#include "platform/macos/ns_string.h"

namespace hushpad::macos {

bool AppKitWorkspace::openURL(const std::string& url) {
  NSString* text = toNSString(url);
  NSURL* nsURL = text != nil ? [NSURL URLWithString:text] : nil;
  if (nsURL == nil) return false;
  (void)[[NSWorkspace sharedWorkspace] openURL:nsURL];
  return true;
}

}  // namespace hushpad::macos
