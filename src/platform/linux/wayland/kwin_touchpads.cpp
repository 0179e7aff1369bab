#include "platform/linux/wayland/kwin_touchpads.h"

#include <array>

namespace hushpad::linux {
namespace {

constexpr const char* kKWin = "org.kde.KWin";
constexpr const char* kDevices = "/org/kde/KWin/InputDevice";
constexpr const char* kDeviceInterface = "org.kde.KWin.InputDevice";
// A busy compositor answers within this, or the setting counts as not there.
constexpr int kCallTimeoutMs = 1000;
constexpr std::array<const char*, 2> kScrollingKeys{"scrollTwoFinger", "scrollEdge"};

// The device's object path, or nothing for an address that is not KWin's.
std::optional<std::string> devicePath(const PreferenceAddress& address) {
  if (!address.application || !address.application->starts_with(kKWinDevicePrefix)) {
    return std::nullopt;
  }
  const std::string device = address.application->substr(std::string(kKWinDevicePrefix).size());
  if (device.empty() || !g_variant_is_object_path((std::string(kDevices) + "/" + device).c_str())) {
    return std::nullopt;
  }
  return std::string(kDevices) + "/" + device;
}

}  // namespace

KWinTouchpadStore::KWinTouchpadStore(GDBusConnection* bus)
    : bus_(bus != nullptr ? G_DBUS_CONNECTION(g_object_ref(bus)) : nullptr) {}

KWinTouchpadStore::~KWinTouchpadStore() {
  if (bus_ != nullptr) g_object_unref(bus_);
}

// The property's value (owned by the caller), or nullptr.
GVariant* KWinTouchpadStore::property(const std::string& path, const char* name) {
  if (bus_ == nullptr) return nullptr;
  const char* interface =
      path == kDevices ? "org.kde.KWin.InputDeviceManager" : kDeviceInterface;
  GVariant* reply = g_dbus_connection_call_sync(
      bus_, kKWin, path.c_str(), "org.freedesktop.DBus.Properties", "Get",
      g_variant_new("(ss)", interface, name), G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NONE,
      kCallTimeoutMs, nullptr, nullptr);
  if (reply == nullptr) return nullptr;
  GVariant* value = nullptr;
  g_variant_get(reply, "(v)", &value);
  g_variant_unref(reply);
  return value;
}

std::optional<PreferenceValue> KWinTouchpadStore::copyValue(const std::string& key,
                                                            const PreferenceAddress& address) {
  const std::optional<std::string> path = devicePath(address);
  if (!path) return std::nullopt;
  GVariant* value = property(*path, key.c_str());
  if (value == nullptr) return std::nullopt;
  std::optional<PreferenceValue> result;
  if (g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN)) {
    result = PreferenceValue{static_cast<bool>(g_variant_get_boolean(value))};
  } else {
    result = PreferenceValue{UnsupportedValue{}};
  }
  g_variant_unref(value);
  return result;
}

void KWinTouchpadStore::setValue(const std::string& key, const std::optional<PreferenceValue>& value,
                                 const PreferenceAddress& address) {
  const std::optional<std::string> path = devicePath(address);
  if (!path || bus_ == nullptr || !value || !std::holds_alternative<bool>(*value)) return;
  GVariant* reply = g_dbus_connection_call_sync(
      bus_, kKWin, path->c_str(), "org.freedesktop.DBus.Properties", "Set",
      g_variant_new("(ssv)", kDeviceInterface, key.c_str(),
                    g_variant_new_boolean(std::get<bool>(*value))),
      nullptr, G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, nullptr);
  if (reply != nullptr) g_variant_unref(reply);
}

bool KWinTouchpadStore::canHold(const std::string& key, const std::optional<PreferenceValue>& value,
                                const PreferenceAddress& address) {
  if (!value || !std::holds_alternative<bool>(*value)) return false;
  const std::optional<PreferenceValue> current = copyValue(key, address);
  return current && std::holds_alternative<bool>(*current);
}

std::vector<PreferenceOverride> KWinTouchpadStore::touchpadOverrides() {
  std::vector<PreferenceOverride> overrides;
  GVariant* names = property(kDevices, "devicesSysNames");
  if (names == nullptr) return overrides;
  if (g_variant_is_of_type(names, G_VARIANT_TYPE_STRING_ARRAY)) {
    const gchar** devices = g_variant_get_strv(names, nullptr);
    for (const gchar** device = devices; *device != nullptr; ++device) {
      const PreferenceAddress address{std::string(kKWinDevicePrefix) + *device, false};
      const std::optional<PreferenceValue> touchpad = copyValue("touchpad", address);
      if (!touchpad || *touchpad != PreferenceValue{true}) continue;
      for (const char* key : kScrollingKeys) {
        if (copyValue(key, address)) {
          overrides.push_back({PreferenceKey{*address.application, key, false}, false});
        }
      }
    }
    g_free(devices);
  }
  g_variant_unref(names);
  return overrides;
}

}  // namespace hushpad::linux
