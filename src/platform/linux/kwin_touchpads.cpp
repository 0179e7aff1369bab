#include "platform/linux/kwin_touchpads.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>

namespace hushpad::linux {

struct KWinTouchpadStore::Call {
  KWinTouchpadStore* store = nullptr;
  bool answered = false;
  GVariant* reply = nullptr;  // nothing: KWin did not answer, or answered with an error
  ~Call() {
    if (reply != nullptr) g_variant_unref(reply);
  }
};

struct KWinTouchpadStore::Write {
  std::string sysName;
  std::string key;
  bool value = false;
  std::shared_ptr<Call> call;
};

namespace {

constexpr const char* kKWin = "org.kde.KWin";
constexpr const char* kDevices = "/org/kde/KWin/InputDevice";
constexpr const char* kManagerInterface = "org.kde.KWin.InputDeviceManager";
constexpr const char* kDeviceInterface = "org.kde.KWin.InputDevice";
constexpr const char* kProperties = "org.freedesktop.DBus.Properties";
constexpr std::array<const char*, 2> kScrollingKeys{"scrollTwoFinger", "scrollEdge"};
// A pass whose end was never seen (no main loop running) is over after this.
constexpr std::int64_t kPassOverUs = 100'000;
// How long a late answer is waited for (on the main loop, without blocking it).
constexpr int kLateAnswerMs = 5000;

std::optional<std::string> deviceIdentity(const PreferenceAddress& address) {
  if (!address.application || !address.application->starts_with(kKWinDevicePrefix)) {
    return std::nullopt;
  }
  return address.application->substr(std::string(kKWinDevicePrefix).size());
}

// event2 before event10.
bool bySystemName(const std::string& a, const std::string& b) {
  return a.size() != b.size() ? a.size() < b.size() : a < b;
}

}  // namespace

KWinTouchpadStore::KWinTouchpadStore(GDBusConnection* bus)
    : bus_(bus != nullptr ? G_DBUS_CONNECTION(g_object_ref(bus)) : nullptr),
      context_(g_main_context_new()),
      cancellable_(g_cancellable_new()) {
  if (bus_ == nullptr) return;
  signals_ = g_dbus_connection_signal_subscribe(bus_, kKWin, kManagerInterface, nullptr, kDevices,
                                                nullptr, G_DBUS_SIGNAL_FLAGS_NONE, onSignal, this,
                                                nullptr);
  const auto nameChanged = [](GDBusConnection*, const gchar*, gpointer self) {
    static_cast<KWinTouchpadStore*>(self)->devicesChanged();
  };
  const auto appeared = [](GDBusConnection* c, const gchar* name, const gchar*, gpointer self) {
    static_cast<KWinTouchpadStore*>(self)->devicesChanged();
    static_cast<void>(c), static_cast<void>(name);
  };
  nameWatch_ = g_bus_watch_name_on_connection(bus_, kKWin, G_BUS_NAME_WATCHER_FLAGS_NONE, appeared,
                                              nameChanged, this, nullptr);
}

KWinTouchpadStore::~KWinTouchpadStore() {
  g_cancellable_cancel(cancellable_);
  while (outstanding_ > 0) g_main_context_iteration(context_, TRUE);
  writes_.clear();
  if (passEnd_ != 0) g_source_remove(passEnd_);
  if (lateWatch_ != 0) g_source_remove(lateWatch_);
  if (bus_ != nullptr) {
    if (signals_ != 0) g_dbus_connection_signal_unsubscribe(bus_, signals_);
    if (nameWatch_ != 0) g_bus_unwatch_name(nameWatch_);
    g_object_unref(bus_);
  }
  g_object_unref(cancellable_);
  g_main_context_unref(context_);
}

void KWinTouchpadStore::onSignal(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                 const gchar* member, GVariant*, gpointer self) {
  if (g_strcmp0(member, "deviceAdded") == 0 || g_strcmp0(member, "deviceRemoved") == 0) {
    static_cast<KWinTouchpadStore*>(self)->devicesChanged();
  }
}

void KWinTouchpadStore::devicesChanged() {
  forget();
  if (changed_) changed_();
}

// The devices are asked for afresh at the next need.
void KWinTouchpadStore::forget() {
  finishWrites();
  devices_.reset();
}

// Answers arrive on context_, which only this store runs.
std::shared_ptr<KWinTouchpadStore::Call> KWinTouchpadStore::call(const std::string& path,
                                                                 const char* interface,
                                                                 const char* method,
                                                                 GVariant* parameters,
                                                                 const GVariantType* replyType) {
  auto pending = std::make_shared<Call>(Call{this});
  ++outstanding_;
  g_main_context_push_thread_default(context_);
  g_dbus_connection_call(bus_, kKWin, path.c_str(), interface, method, parameters, replyType,
                         G_DBUS_CALL_FLAGS_NO_AUTO_START, kLateAnswerMs, cancellable_, onReply,
                         new std::shared_ptr<Call>(pending));
  g_main_context_pop_thread_default(context_);
  return pending;
}

void KWinTouchpadStore::onReply(GObject* source, GAsyncResult* result, gpointer data) {
  const std::unique_ptr<std::shared_ptr<Call>> held(static_cast<std::shared_ptr<Call>*>(data));
  Call& answered = **held;
  answered.reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, nullptr);
  answered.answered = true;
  --answered.store->outstanding_;
}

void KWinTouchpadStore::awaitCalls() {
  const std::int64_t start = g_get_monotonic_time();
  if (passEndsUs_ == 0 || start > passEndsUs_ + kPassOverUs) {
    passEndsUs_ = start + std::int64_t{kKWinBudgetMs} * 1000;
    passWaitedUs_ = 0;
    if (passEnd_ == 0) {
      passEnd_ = g_idle_add(
          [](gpointer self) {
            auto* store = static_cast<KWinTouchpadStore*>(self);
            store->passEnd_ = 0;
            store->passEndsUs_ = 0;
            store->forget();
            return G_SOURCE_REMOVE;
          },
          this);
    }
  }
  while (outstanding_ > 0) {
    const std::int64_t left = passEndsUs_ - g_get_monotonic_time();
    if (left <= 0) break;
    GSource* timer = g_timeout_source_new(static_cast<guint>((left + 999) / 1000));
    g_source_set_callback(timer, [](gpointer) { return G_SOURCE_REMOVE; }, nullptr, nullptr);
    g_source_attach(timer, context_);
    g_main_context_iteration(context_, TRUE);
    g_source_destroy(timer);
    g_source_unref(timer);
  }
  if (outstanding_ > 0 && lateWatch_ == 0) lateWatch_ = g_timeout_add(5, lateAnswers, this);
  passWaitedUs_ += g_get_monotonic_time() - start;
  longestWaitUs_ = std::max(longestWaitUs_, passWaitedUs_);
}

gboolean KWinTouchpadStore::lateAnswers(gpointer self) {
  auto* store = static_cast<KWinTouchpadStore*>(self);
  while (g_main_context_iteration(store->context_, FALSE)) {
  }
  if (store->outstanding_ > 0) return G_SOURCE_CONTINUE;
  store->lateWatch_ = 0;
  store->devicesChanged();
  return G_SOURCE_REMOVE;
}

const std::vector<KWinTouchpadStore::Device>& KWinTouchpadStore::devices() {
  if (devices_) return *devices_;
  devices_.emplace();
  if (bus_ == nullptr) return *devices_;
  std::vector<std::string> sysNames;
  {
    const std::shared_ptr<Call> names = call(
        kDevices, kProperties, "Get", g_variant_new("(ss)", kManagerInterface, "devicesSysNames"),
        G_VARIANT_TYPE("(v)"));
    awaitCalls();
    if (names->reply == nullptr) return *devices_;
    GVariant* list = nullptr;
    g_variant_get(names->reply, "(v)", &list);
    if (g_variant_is_of_type(list, G_VARIANT_TYPE_STRING_ARRAY)) {
      const gchar** each = g_variant_get_strv(list, nullptr);
      for (const gchar** name = each; *name != nullptr; ++name) {
        if (g_variant_is_object_path((std::string(kDevices) + "/" + *name).c_str())) {
          sysNames.emplace_back(*name);
        }
      }
      g_free(each);
    }
    g_variant_unref(list);
  }
  std::ranges::sort(sysNames, bySystemName);
  // Every device's properties in one round.
  std::vector<std::shared_ptr<Call>> answers;
  for (const std::string& sysName : sysNames) {
    answers.emplace_back(call(std::string(kDevices) + "/" + sysName, kProperties, "GetAll",
                              g_variant_new("(s)", kDeviceInterface), G_VARIANT_TYPE("(a{sv})")));
  }
  awaitCalls();
  std::map<std::string, int> models;
  for (std::size_t i = 0; i < sysNames.size(); ++i) {
    if (answers[i]->reply == nullptr) continue;  // gone meanwhile, or late: not there now
    GVariant* properties = g_variant_get_child_value(answers[i]->reply, 0);
    Device device;
    device.sysName = sysNames[i];
    const gchar* name = nullptr;
    guint32 vendor = 0;
    guint32 product = 0;
    gboolean touchpad = FALSE;
    const bool identified = g_variant_lookup(properties, "name", "&s", &name) &&
                            g_variant_lookup(properties, "vendor", "u", &vendor) &&
                            g_variant_lookup(properties, "product", "u", &product);
    if (identified) {
      char ids[24];
      std::snprintf(ids, sizeof ids, " (%04x:%04x)", vendor, product);
      device.identity = name + std::string(ids);
      // Two touchpads of one model are told apart by the order of their names.
      if (const int count = ++models[device.identity]; count > 1) {
        device.identity += " #" + std::to_string(count);
      }
      device.touchpad = g_variant_lookup(properties, "touchpad", "b", &touchpad) && touchpad;
      GVariantIter iter;
      const gchar* key = nullptr;
      GVariant* value = nullptr;
      g_variant_iter_init(&iter, properties);
      while (g_variant_iter_loop(&iter, "{&sv}", &key, &value)) {
        if (g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN)) {
          device.settings.emplace(key, g_variant_get_boolean(value) != FALSE);
        }
      }
      devices_->push_back(std::move(device));
    }
    g_variant_unref(properties);
  }
  return *devices_;
}

KWinTouchpadStore::Device* KWinTouchpadStore::deviceFor(const PreferenceAddress& address) {
  const std::optional<std::string> identity = deviceIdentity(address);
  if (!identity) return nullptr;
  finishWrites();
  devices();
  const auto found = std::ranges::find(*devices_, *identity, &Device::identity);
  return found == devices_->end() ? nullptr : &*found;
}

void KWinTouchpadStore::finishWrites() {
  if (writes_.empty()) return;
  awaitCalls();
  for (const Write& write : writes_) {
    if (!devices_) break;
    const auto device = std::ranges::find(*devices_, write.sysName, &Device::sysName);
    if (device == devices_->end()) continue;
    device->settings[write.key] =
        write.call->reply != nullptr ? std::optional(write.value) : std::nullopt;
    device->late = device->late || !write.call->answered;
  }
  writes_.clear();
}

std::optional<PreferenceValue> KWinTouchpadStore::copyValue(const std::string& key,
                                                            const PreferenceAddress& address) {
  const Device* device = deviceFor(address);
  if (device == nullptr) return PreferenceValue{UnsupportedValue{}};
  const auto setting = device->settings.find(key);
  if (setting == device->settings.end() || !setting->second) {
    return PreferenceValue{UnsupportedValue{}};
  }
  return PreferenceValue{*setting->second};
}

void KWinTouchpadStore::setValue(const std::string& key, const std::optional<PreferenceValue>& value,
                                 const PreferenceAddress& address) {
  if (!value || !std::holds_alternative<bool>(*value)) return;
  // The writes of one operation go out together: none waits for another.
  const std::optional<std::string> identity = deviceIdentity(address);
  if (!identity) return;
  const std::vector<Device>& known = devices();
  const auto device = std::ranges::find(known, *identity, &Device::identity);
  if (device == known.end() || !device->settings.contains(key)) return;
  const bool on = std::get<bool>(*value);
  writes_.push_back(Write{device->sysName, key, on,
                          call(std::string(kDevices) + "/" + device->sysName, kProperties, "Set",
                               g_variant_new("(ssv)", kDeviceInterface, key.c_str(),
                                             g_variant_new_boolean(on)),
                               nullptr)});
}

void KWinTouchpadStore::synchronize(const PreferenceAddress&) { finishWrites(); }

PreferenceReach KWinTouchpadStore::reach(const std::string& key,
                                         const std::optional<PreferenceValue>& value,
                                         const PreferenceAddress& address) {
  if (!deviceIdentity(address)) return PreferenceReach::NotNow;  // not KWin's
  if (!value || !std::holds_alternative<bool>(*value)) return PreferenceReach::Never;
  const Device* device = deviceFor(address);
  // Unplugged, KWin away, or its answer to a write late.
  if (device == nullptr || device->late) return PreferenceReach::NotNow;
  return device->settings.contains(key) ? PreferenceReach::Now : PreferenceReach::Never;
}

std::vector<PreferenceOverride> KWinTouchpadStore::touchpadOverrides() {
  std::vector<PreferenceOverride> overrides;
  finishWrites();
  for (const Device& device : devices()) {
    if (!device.touchpad) continue;
    for (const char* key : kScrollingKeys) {
      const auto setting = device.settings.find(key);
      if (setting == device.settings.end() || !setting->second) continue;
      overrides.push_back(
          {PreferenceKey{std::string(kKWinDevicePrefix) + device.identity, key, false}, false});
    }
  }
  return overrides;
}

}  // namespace hushpad::linux
