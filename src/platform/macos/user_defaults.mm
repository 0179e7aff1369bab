#include "platform/macos/user_defaults.h"

#import <Foundation/Foundation.h>

#include "platform/macos/ns_string.h"

namespace hushpad::macos {
namespace {

NSUserDefaults* defaults() { return [NSUserDefaults standardUserDefaults]; }

}  // namespace

StoredData FoundationUserDefaults::dataForKey(const std::string& key) {
  NSString* nsKey = toNSString(key);
  NSData* data = nsKey != nil ? [defaults() dataForKey:nsKey] : nil;
  if (data == nil) return {};
  const auto* bytes = static_cast<const std::uint8_t*>(data.bytes);
  return {Bytes(bytes, bytes + data.length), false};
}

// NSUserDefaults answers from memory: only the preferences daemon's word that
// the values reached it says they will outlive this process.
bool FoundationUserDefaults::synchronize() {
  return CFPreferencesAppSynchronize(kCFPreferencesCurrentApplication) != false;
}

void FoundationUserDefaults::setData(const std::string& key, std::span<const std::uint8_t> data) {
  NSString* nsKey = toNSString(key);
  if (nsKey == nil) return;
  [defaults() setObject:[NSData dataWithBytes:data.data() length:data.size()] forKey:nsKey];
}

void FoundationUserDefaults::removeObject(const std::string& key) {
  NSString* nsKey = toNSString(key);
  if (nsKey == nil) return;
  [defaults() removeObjectForKey:nsKey];
}

bool FoundationUserDefaults::boolForKey(const std::string& key) {
  NSString* nsKey = toNSString(key);
  return nsKey != nil && [defaults() boolForKey:nsKey];
}

void FoundationUserDefaults::setBool(const std::string& key, bool value) {
  NSString* nsKey = toNSString(key);
  if (nsKey == nil) return;
  [defaults() setBool:value forKey:nsKey];
}

}  // namespace hushpad::macos
