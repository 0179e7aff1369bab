#include "platform/macos/app_nap.h"

#import <Foundation/Foundation.h>

namespace hushpad::macos {

void LatencyCriticalActivity::begin() {
  if (token_ != nullptr) return;
  id<NSObject> token = [[NSProcessInfo processInfo]
      beginActivityWithOptions:NSActivityUserInitiated | NSActivityLatencyCritical
                        reason:@"Hushpad holds the keyboard and pointer"];
  token_ = (__bridge_retained void*)token;
}

void LatencyCriticalActivity::end() {
  if (token_ == nullptr) return;
  id<NSObject> token = (__bridge_transfer id<NSObject>)token_;
  token_ = nullptr;
  [[NSProcessInfo processInfo] endActivity:token];
}

}  // namespace hushpad::macos
