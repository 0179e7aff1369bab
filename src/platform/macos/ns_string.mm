#include "platform/macos/ns_string.h"

namespace hushpad::macos {

NSString* toNSString(const std::string& text) {
  return [[NSString alloc] initWithBytes:text.data()
                                  length:text.size()
                                encoding:NSUTF8StringEncoding];
}

NSString* toDisplayString(const std::string& text) {
  NSString* string = toNSString(text);
  return string != nil ? string : @"";
}

}  // namespace hushpad::macos
