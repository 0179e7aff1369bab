#pragma once
// KWin keeps its own touchpad settings, per device, on the session bus
// (org.kde.KWin.InputDevice); GNOME's GSettings keys mean nothing to it. A
// preference whose application is "org.kde.KWin.InputDevice/<device>" is that
// device's property of the key's name, the device named as it stays across
// reboots and replugging: "<name> (<vendor>:<product>)". Main thread only; each read and write
// is a short call to KWin, as GSettings' are to its own store.

#include <gio/gio.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gestures/preference_records.h"
#include "platform/preference_store.h"

namespace hushpad::linux {

inline constexpr const char* kKWinDevicePrefix = "org.kde.KWin.InputDevice/";

class KWinTouchpadStore final : public PreferenceStore {
 public:
  // bus: the session bus (nullptr: none, and nothing is stored).
  explicit KWinTouchpadStore(GDBusConnection* bus);
  ~KWinTouchpadStore() override;
  KWinTouchpadStore(const KWinTouchpadStore&) = delete;
  KWinTouchpadStore& operator=(const KWinTouchpadStore&) = delete;

  // A boolean; UnsupportedValue where KWin, the device or the property cannot
  // be read now (never nothing: KWin's properties cannot be unset).
  std::optional<PreferenceValue> copyValue(const std::string& key,
                                           const PreferenceAddress& address) override;
  // KWin's properties cannot be removed: only a boolean is written.
  void setValue(const std::string& key, const std::optional<PreferenceValue>& value,
                const PreferenceAddress& address) override;
  // KWin writes its configuration itself.
  void synchronize(const PreferenceAddress&) override {}
  // Never only where KWin answers that the device has no such setting, or
  // for a value that is not a boolean; NotNow while KWin or the device is not there.
  PreferenceReach reach(const std::string& key, const std::optional<PreferenceValue>& value,
                        const PreferenceAddress& address) override;

  // The scrolling of each of KWin's touchpads, to be switched off while
  // locked (the taps stay as the user has them, as on X11); none without KWin.
  std::vector<PreferenceOverride> touchpadOverrides();

 private:
  struct Answer {
    GVariant* value = nullptr;  // owned by the caller
    bool reachable = false;     // KWin answered, if only that there is no such thing
  };
  struct Lookup {
    std::string path;           // the device's object, empty when not found
    GVariant* value = nullptr;  // owned by the caller
    bool reachable = false;
  };
  Answer property(const std::string& path, const char* name);
  std::optional<std::string> identityOf(const std::string& path);
  std::vector<std::string> devicePaths(bool& reachable);
  Lookup lookUp(const std::string& key, const PreferenceAddress& address);

  GDBusConnection* bus_;
};

// KWin's devices go to KWin, everything else to the desktop's settings store.
class RoutingPreferenceStore final : public PreferenceStore {
 public:
  RoutingPreferenceStore(PreferenceStore& settings, PreferenceStore& kwin)
      : settings_(settings), kwin_(kwin) {}
  std::optional<PreferenceValue> copyValue(const std::string& key,
                                           const PreferenceAddress& address) override {
    return storeFor(address).copyValue(key, address);
  }
  void setValue(const std::string& key, const std::optional<PreferenceValue>& value,
                const PreferenceAddress& address) override {
    storeFor(address).setValue(key, value, address);
  }
  void synchronize(const PreferenceAddress& address) override {
    storeFor(address).synchronize(address);
  }
  PreferenceReach reach(const std::string& key, const std::optional<PreferenceValue>& value,
                        const PreferenceAddress& address) override {
    return storeFor(address).reach(key, value, address);
  }

 private:
  PreferenceStore& storeFor(const PreferenceAddress& address) {
    return address.application && address.application->starts_with(kKWinDevicePrefix) ? kwin_
                                                                                        : settings_;
  }
  PreferenceStore& settings_;
  PreferenceStore& kwin_;
};

}  // namespace hushpad::linux
