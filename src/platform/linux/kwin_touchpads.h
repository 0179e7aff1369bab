#pragma once
// KWin keeps its own touchpad settings, per device, on the session bus
// (org.kde.KWin.InputDevice), under Plasma's Wayland and X11 sessions alike;
// GNOME's GSettings keys mean nothing to it. A preference whose application is
// "org.kde.KWin.InputDevice/<device>" is that device's property of the key's
// name, the device named as it stays across reboots and replugging:
// "<name> (<vendor>:<product>)", with " #2", " #3"... for further devices of
// one model, in the order of their system names.
//
// KWin is asked asynchronously, in one round per need: every device's
// properties at once, then the writes of an operation together. Its answers
// are awaited on a context of the store's own, so the main loop runs nothing
// meanwhile, and never longer than kKWinBudgetMs in all per main-loop pass: a
// device KWin has not answered for by then counts as not there now, and once
// the late answers are in, the change handler is called, so that what waited
// for them is done then. Main thread only.

#include <gio/gio.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gestures/preference_records.h"
#include "platform/preference_store.h"

namespace hushpad::linux {

inline constexpr const char* kKWinDevicePrefix = "org.kde.KWin.InputDevice/";
// How long one pass of the main loop may wait for KWin, all rounds together.
inline constexpr int kKWinBudgetMs = 15;

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
  // KWin's properties cannot be removed: only a boolean is written, once
  // the round of writes is over (synchronize, or the next read).
  void setValue(const std::string& key, const std::optional<PreferenceValue>& value,
                const PreferenceAddress& address) override;
  // Waits for the writes made so far; KWin keeps its configuration itself.
  void synchronize(const PreferenceAddress&) override;
  // Never only where the device is there and has no such setting, or for a
  // value that is not a boolean; NotNow while KWin or the device is not
  // there (or not answering), and for an address that is not KWin's.
  PreferenceReach reach(const std::string& key, const std::optional<PreferenceValue>& value,
                        const PreferenceAddress& address) override;
  // Called when KWin comes onto the bus or leaves it, and when it adds or
  // removes an input device.
  void setPreferencesChangedHandler(std::function<void()> changed) override {
    changed_ = std::move(changed);
  }

  // The scrolling of each of KWin's touchpads, to be switched off while
  // locked (the taps stay as the user has them); none without KWin.
  std::vector<PreferenceOverride> touchpadOverrides();

  // How long the main loop waited for KWin at most, in one pass, since the
  // start (microseconds).
  std::int64_t longestWaitUs() const { return longestWaitUs_; }

 private:
  struct Device {
    std::string sysName;
    std::string identity;
    bool touchpad = false;
    bool late = false;  // a write's answer did not come in time
    // Its boolean properties; nothing for one whose write did not take.
    std::map<std::string, std::optional<bool>> settings;
  };
  struct Call;
  struct Write;
  // The devices as KWin had them at the first need of this pass.
  const std::vector<Device>& devices();
  Device* deviceFor(const PreferenceAddress& address);
  std::shared_ptr<Call> call(const std::string& path, const char* interface, const char* method,
                             GVariant* parameters, const GVariantType* replyType);
  // Waits for every call out until the pass's budget is spent; the rest are
  // left to answer later (lateAnswers).
  void awaitCalls();
  // On the main loop while answers are late: takes them, then tells of the change.
  static gboolean lateAnswers(gpointer self);
  void finishWrites();
  void forget();
  void devicesChanged();
  static void onReply(GObject* source, GAsyncResult* result, gpointer data);
  static void onSignal(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                       GVariant*, gpointer self);

  GDBusConnection* bus_;
  GMainContext* context_;
  GCancellable* cancellable_ = nullptr;
  int outstanding_ = 0;  // calls not answered yet
  guint lateWatch_ = 0;
  std::vector<Write> writes_;
  std::optional<std::vector<Device>> devices_;
  std::int64_t passEndsUs_ = 0;  // 0: no pass waiting
  std::int64_t passWaitedUs_ = 0;
  std::int64_t longestWaitUs_ = 0;
  guint passEnd_ = 0;
  guint signals_ = 0;
  guint nameWatch_ = 0;
  std::function<void()> changed_;
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
  void setPreferencesChangedHandler(std::function<void()> changed) override {
    settings_.setPreferencesChangedHandler(changed);
    kwin_.setPreferencesChangedHandler(std::move(changed));
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
