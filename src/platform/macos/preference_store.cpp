#include "platform/macos/preference_store.h"

#include <CoreFoundation/CoreFoundation.h>

#include <type_traits>

#include "platform/macos/cf_ref.h"

namespace hushpad::macos {
namespace {

CFRef<CFStringRef> makeCFString(const std::string& text) {
  return CFRef<CFStringRef>::adopt(CFStringCreateWithBytes(
      kCFAllocatorDefault, reinterpret_cast<const UInt8*>(text.data()),
      static_cast<CFIndex>(text.size()), kCFStringEncodingUTF8, false));
}

CFRef<CFStringRef> applicationID(const PreferenceAddress& address) {
  if (!address.application) return CFRef<CFStringRef>::retain(kCFPreferencesAnyApplication);
  return makeCFString(*address.application);
}

CFStringRef host(const PreferenceAddress& address) {
  return address.currentHost ? kCFPreferencesCurrentHost : kCFPreferencesAnyHost;
}

PreferenceValue toPreferenceValue(CFPropertyListRef value) {
  const CFTypeID type = CFGetTypeID(value);
  if (type == CFBooleanGetTypeID()) return CFBooleanGetValue(static_cast<CFBooleanRef>(value)) != 0;
  if (type != CFNumberGetTypeID()) return UnsupportedValue{};
  const auto number = static_cast<CFNumberRef>(value);
  if (CFNumberIsFloatType(number)) {
    double real = 0;
    CFNumberGetValue(number, kCFNumberDoubleType, &real);
    return real;
  }
  std::int64_t integer = 0;
  CFNumberGetValue(number, kCFNumberSInt64Type, &integer);
  return integer;
}

// Null for a missing value, which removes the preference. An UnsupportedValue
// has no property-list form; setValue never writes one.
CFRef<CFPropertyListRef> toPropertyList(const std::optional<PreferenceValue>& value) {
  using Ref = CFRef<CFPropertyListRef>;
  if (!value) return Ref{};
  return std::visit(
      [](const auto& v) -> Ref {
        using V = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<V, bool>) {
          return Ref::retain(v ? kCFBooleanTrue : kCFBooleanFalse);
        } else if constexpr (std::is_same_v<V, std::int64_t>) {
          return Ref::adopt(CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt64Type, &v));
        } else if constexpr (std::is_same_v<V, double>) {
          return Ref::adopt(CFNumberCreate(kCFAllocatorDefault, kCFNumberDoubleType, &v));
        } else {
          return Ref{};
        }
      },
      *value);
}

}  // namespace

std::optional<PreferenceValue> CFPreferenceStore::copyValue(const std::string& key,
                                                            const PreferenceAddress& address) {
  const auto cfKey = makeCFString(key);
  const auto application = applicationID(address);
  if (!cfKey || !application) return std::nullopt;
  const auto value = CFRef<CFPropertyListRef>::adopt(CFPreferencesCopyValue(
      cfKey.get(), application.get(), kCFPreferencesCurrentUser, host(address)));
  if (!value) return std::nullopt;
  return toPreferenceValue(value.get());
}

void CFPreferenceStore::setValue(const std::string& key, const std::optional<PreferenceValue>& value,
                                 const PreferenceAddress& address) {
  if (value && std::holds_alternative<UnsupportedValue>(*value)) return;
  const auto cfKey = makeCFString(key);
  const auto application = applicationID(address);
  if (!cfKey || !application) return;
  const auto cfValue = toPropertyList(value);
  CFPreferencesSetValue(cfKey.get(), cfValue.get(), application.get(), kCFPreferencesCurrentUser,
                        host(address));
}

void CFPreferenceStore::synchronize(const PreferenceAddress& address) {
  const auto application = applicationID(address);
  if (!application) return;
  CFPreferencesSynchronize(application.get(), kCFPreferencesCurrentUser, host(address));
}

}  // namespace hushpad::macos
