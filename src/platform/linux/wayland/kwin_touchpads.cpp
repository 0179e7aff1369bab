#include "platform/linux/wayland/kwin_touchpads.h"

#include <array>
#include <cstdio>

namespace hushpad::linux {
namespace {

constexpr const char* kKWin = "org.kde.KWin";
constexpr const char* kDevices = "/org/kde/KWin/InputDevice";
constexpr const char* kManagerInterface = "org.kde.KWin.InputDeviceManager";
constexpr const char* kDeviceInterface = "org.kde.KWin.InputDevice";
// A busy compositor answers within this, or counts as not reachable. KWin is
// never started for a call: under another compositor it is simply not there.
constexpr int kCallTimeoutMs = 1000;
constexpr std::array<const char*, 2> kScrollingKeys{"scrollTwoFinger", "scrollEdge"};

// Whether KWin answered that something is not there (as opposed to not
// answering at all).
bool answeredNo(const GError* error) {
  return g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_OBJECT) ||
         g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_INTERFACE) ||
         g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_PROPERTY) ||
         g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_INVALID_ARGS);
}

std::optional<std::string> deviceIdentity(const PreferenceAddress& address) {
  if (!address.application || !address.application->starts_with(kKWinDevicePrefix)) {
    return std::nullopt;
  }
  return address.application->substr(std::string(kKWinDevicePrefix).size());
}

}  // namespace

KWinTouchpadStore::KWinTouchpadStore(GDBusConnection* bus)
    : bus_(bus != nullptr ? G_DBUS_CONNECTION(g_object_ref(bus)) : nullptr) {}

KWinTouchpadStore::~KWinTouchpadStore() {
  if (bus_ != nullptr) g_object_unref(bus_);
}

KWinTouchpadStore::Answer KWinTouchpadStore::property(const std::string& path, const char* name) {
  Answer answer;
  if (bus_ == nullptr) return answer;
  const char* interface = path == kDevices ? kManagerInterface : kDeviceInterface;
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_sync(
      bus_, kKWin, path.c_str(), "org.freedesktop.DBus.Properties", "Get",
      g_variant_new("(ss)", interface, name), G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NO_AUTO_START,
      kCallTimeoutMs, nullptr, &error);
  if (reply == nullptr) {
    answer.reachable = answeredNo(error);
    g_error_free(error);
    return answer;
  }
  answer.reachable = true;
  g_variant_get(reply, "(v)", &answer.value);
  g_variant_unref(reply);
  return answer;
}

// The identity a device keeps across reboots and replugging, which its
// sysName (event7) does not: its name, vendor and product.
std::optional<std::string> KWinTouchpadStore::identityOf(const std::string& path) {
  Answer name = property(path, "name");
  Answer vendor = property(path, "vendor");
  Answer product = property(path, "product");
  std::optional<std::string> identity;
  if (name.value != nullptr && vendor.value != nullptr && product.value != nullptr &&
      g_variant_is_of_type(name.value, G_VARIANT_TYPE_STRING) &&
      g_variant_is_of_type(vendor.value, G_VARIANT_TYPE_UINT32) &&
      g_variant_is_of_type(product.value, G_VARIANT_TYPE_UINT32)) {
    char ids[24];
    std::snprintf(ids, sizeof ids, " (%04x:%04x)", g_variant_get_uint32(vendor.value),
                  g_variant_get_uint32(product.value));
    identity = g_variant_get_string(name.value, nullptr) + std::string(ids);
  }
  for (GVariant* value : {name.value, vendor.value, product.value}) {
    if (value != nullptr) g_variant_unref(value);
  }
  return identity;
}

std::vector<std::string> KWinTouchpadStore::devicePaths(bool& reachable) {
  std::vector<std::string> paths;
  Answer names = property(kDevices, "devicesSysNames");
  reachable = names.reachable;
  if (names.value == nullptr) return paths;
  if (g_variant_is_of_type(names.value, G_VARIANT_TYPE_STRING_ARRAY)) {
    const gchar** devices = g_variant_get_strv(names.value, nullptr);
    for (const gchar** device = devices; *device != nullptr; ++device) {
      const std::string path = std::string(kDevices) + "/" + *device;
      if (g_variant_is_object_path(path.c_str())) paths.push_back(path);
    }
    g_free(devices);
  }
  g_variant_unref(names.value);
  return paths;
}

KWinTouchpadStore::Lookup KWinTouchpadStore::lookUp(const std::string& key,
                                                    const PreferenceAddress& address) {
  Lookup lookup;
  const std::optional<std::string> identity = deviceIdentity(address);
  if (!identity) {
    lookup.reachable = true;  // not KWin's: certainly not there
    return lookup;
  }
  bool reachable = false;
  for (const std::string& path : devicePaths(reachable)) {
    if (identityOf(path) != *identity) continue;
    Answer answer = property(path, key.c_str());
    lookup.reachable = answer.reachable;
    lookup.path = path;
    lookup.value = answer.value;
    return lookup;
  }
  // A device that is not plugged in now may come back, its settings with it.
  lookup.reachable = false;
  return lookup;
}

// Whatever cannot be read now reads as a value the backup cannot hold: a lock
// leaves it alone, and an unlock does not count it as put back.
std::optional<PreferenceValue> KWinTouchpadStore::copyValue(const std::string& key,
                                                            const PreferenceAddress& address) {
  Lookup lookup = lookUp(key, address);
  if (lookup.value == nullptr) return PreferenceValue{UnsupportedValue{}};
  std::optional<PreferenceValue> result = PreferenceValue{UnsupportedValue{}};
  if (g_variant_is_of_type(lookup.value, G_VARIANT_TYPE_BOOLEAN)) {
    result = PreferenceValue{static_cast<bool>(g_variant_get_boolean(lookup.value))};
  }
  g_variant_unref(lookup.value);
  return result;
}

void KWinTouchpadStore::setValue(const std::string& key, const std::optional<PreferenceValue>& value,
                                 const PreferenceAddress& address) {
  if (!value || !std::holds_alternative<bool>(*value)) return;
  Lookup lookup = lookUp(key, address);
  if (lookup.value != nullptr) g_variant_unref(lookup.value);
  if (lookup.path.empty()) return;
  GVariant* reply = g_dbus_connection_call_sync(
      bus_, kKWin, lookup.path.c_str(), "org.freedesktop.DBus.Properties", "Set",
      g_variant_new("(ssv)", kDeviceInterface, key.c_str(),
                    g_variant_new_boolean(std::get<bool>(*value))),
      nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START, kCallTimeoutMs, nullptr, nullptr);
  if (reply != nullptr) g_variant_unref(reply);
}

// Only what KWin itself says it has no place for can never be put back; a
// KWin that does not answer, or a device not plugged in now, keeps the backup.
PreferenceReach KWinTouchpadStore::reach(const std::string& key,
                                         const std::optional<PreferenceValue>& value,
                                         const PreferenceAddress& address) {
  if (!deviceIdentity(address)) return PreferenceReach::NotNow;  // not KWin's
  if (!value || !std::holds_alternative<bool>(*value)) return PreferenceReach::Never;
  Lookup lookup = lookUp(key, address);
  const bool boolean =
      lookup.value != nullptr && g_variant_is_of_type(lookup.value, G_VARIANT_TYPE_BOOLEAN);
  if (lookup.value != nullptr) g_variant_unref(lookup.value);
  if (boolean) return PreferenceReach::Now;
  return lookup.reachable ? PreferenceReach::Never : PreferenceReach::NotNow;
}

std::vector<PreferenceOverride> KWinTouchpadStore::touchpadOverrides() {
  std::vector<PreferenceOverride> overrides;
  bool reachable = false;
  for (const std::string& path : devicePaths(reachable)) {
    Answer touchpad = property(path, "touchpad");
    const bool isTouchpad = touchpad.value != nullptr &&
                            g_variant_is_of_type(touchpad.value, G_VARIANT_TYPE_BOOLEAN) &&
                            g_variant_get_boolean(touchpad.value);
    if (touchpad.value != nullptr) g_variant_unref(touchpad.value);
    const std::optional<std::string> identity = isTouchpad ? identityOf(path) : std::nullopt;
    if (!identity) continue;
    for (const char* key : kScrollingKeys) {
      Answer setting = property(path, key);
      if (setting.value == nullptr) continue;
      g_variant_unref(setting.value);
      overrides.push_back(
          {PreferenceKey{std::string(kKWinDevicePrefix) + *identity, key, false}, false});
    }
  }
  return overrides;
}

}  // namespace hushpad::linux
