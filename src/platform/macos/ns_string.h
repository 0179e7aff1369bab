#pragma once
// Objective-C++ only. UTF-8 text to Foundation strings.

#import <Foundation/Foundation.h>

#include <string>

namespace hushpad::macos {

// nil when text is not valid UTF-8.
NSString* _Nullable toNSString(const std::string& text);
// For titles and labels, which AppKit needs as strings: text that is not valid
// UTF-8 shows as nothing.
NSString* _Nonnull toDisplayString(const std::string& text);

}  // namespace hushpad::macos
