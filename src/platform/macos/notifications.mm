#include "platform/macos/notifications.h"

#import <Foundation/Foundation.h>

#include "platform/macos/ns_string.h"

namespace hushpad::macos {

void FoundationDistributedNotifications::post(const std::string& name) {
  NSString* nsName = toNSString(name);
  if (nsName == nil) return;
  [[NSDistributedNotificationCenter defaultCenter] postNotificationName:nsName
                                                                 object:nil
                                                               userInfo:nil
                                                     deliverImmediately:YES];
}

}  // namespace hushpad::macos
