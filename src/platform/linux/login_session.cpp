#include "platform/linux/login_session.h"

#include <gio/gunixfdlist.h>
#include <unistd.h>

#include <cstring>

namespace hushpad::linux {
namespace {

constexpr const char* kLogind = "org.freedesktop.login1";
constexpr const char* kManagerPath = "/org/freedesktop/login1";
constexpr const char* kManager = "org.freedesktop.login1.Manager";
// Long enough for a busy logind, short enough not to hold up the lock.
constexpr int kCallTimeoutMs = 2000;

}  // namespace

LogindSession::~LogindSession() {
  watchScreenLockers(nullptr);
  releasePowerKeys();
  if (bus_ != nullptr) g_object_unref(bus_);
}

GDBusConnection* LogindSession::systemBus() {
  if (bus_ == nullptr) bus_ = g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, nullptr);
  return bus_;
}

// systemd 248 and later reboot on the reboot key; older ones refuse to hear of
// it, and are asked again without it.
void LogindSession::holdPowerKeys() {
  if (inhibitor_ >= 0) return;
  GDBusConnection* bus = systemBus();
  if (bus == nullptr) return;
  for (const char* keys : {"handle-power-key:handle-suspend-key:handle-hibernate-key:handle-reboot-key",
                           "handle-power-key:handle-suspend-key:handle-hibernate-key"}) {
    if (inhibit(bus, keys)) return;
  }
}

bool LogindSession::inhibit(GDBusConnection* bus, const char* keys) {
  GUnixFDList* fds = nullptr;
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_with_unix_fd_list_sync(
      bus, kLogind, kManagerPath, kManager, "Inhibit",
      g_variant_new("(ssss)", keys, "Hushpad", "Hushpad is holding the keyboard and pointer",
                    "block"),
      G_VARIANT_TYPE("(h)"), G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, &fds, nullptr,
      &error);
  // Only a refusal of the request itself is worth asking again.
  const bool refused = error != nullptr && g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_INVALID_ARGS);
  if (error != nullptr) g_error_free(error);
  if (reply != nullptr && fds != nullptr) {
    gint32 index = -1;
    g_variant_get(reply, "(h)", &index);
    inhibitor_ = g_unix_fd_list_get(fds, index, nullptr);  // a copy, closed on exec
  }
  if (reply != nullptr) g_variant_unref(reply);
  if (fds != nullptr) g_object_unref(fds);
  return !refused;
}

void LogindSession::releasePowerKeys() {
  if (inhibitor_ < 0) return;
  close(inhibitor_);
  inhibitor_ = -1;
}

void LogindSession::watchScreenLockers(ScreenLockerListener* listener) {
  if (listener != nullptr && listener_ == nullptr) subscribe();
  if (listener == nullptr && listener_ != nullptr) unsubscribe();
  listener_ = listener;
  x_.watch(listener);
}

// Signals are taken only from logind's own connection: a name is no proof of
// who sent a signal.
void LogindSession::subscribe() {
  GDBusConnection* bus = systemBus();
  if (bus == nullptr || logindOwner(bus).empty()) return;
  const gchar* sender = logindOwner_.c_str();
  if (!sessionPath(bus).empty()) {
    lockSubscription_ = g_dbus_connection_signal_subscribe(
        bus, sender, "org.freedesktop.login1.Session", "Lock", sessionPath_.c_str(), nullptr,
        G_DBUS_SIGNAL_FLAGS_NONE, logindSignal, this, nullptr);
  }
  sleepSubscription_ = g_dbus_connection_signal_subscribe(
      bus, sender, kManager, "PrepareForSleep", kManagerPath, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
      logindSignal, this, nullptr);
}

const std::string& LogindSession::logindOwner(GDBusConnection* bus) {
  if (!logindOwner_.empty()) return logindOwner_;
  GVariant* reply = g_dbus_connection_call_sync(
      bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
      "GetNameOwner", g_variant_new("(s)", kLogind), G_VARIANT_TYPE("(s)"),
      G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, nullptr);
  if (reply != nullptr) {
    const gchar* owner = nullptr;
    g_variant_get(reply, "(&s)", &owner);
    logindOwner_ = owner;
    g_variant_unref(reply);
  }
  return logindOwner_;
}

void LogindSession::unsubscribe() {
  for (guint* subscription : {&lockSubscription_, &sleepSubscription_}) {
    if (*subscription != 0) g_dbus_connection_signal_unsubscribe(bus_, *subscription);
    *subscription = 0;
  }
}

const std::string& LogindSession::sessionPath(GDBusConnection* bus) {
  if (!sessionPath_.empty()) return sessionPath_;
  GVariant* reply = g_dbus_connection_call_sync(
      bus, kLogind, kManagerPath, kManager, "GetSessionByPID",
      g_variant_new("(u)", static_cast<guint32>(getpid())), G_VARIANT_TYPE("(o)"),
      G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, nullptr);
  if (reply != nullptr) {
    const gchar* path = nullptr;
    g_variant_get(reply, "(&o)", &path);
    sessionPath_ = path;
    g_variant_unref(reply);
  }
  return sessionPath_;
}

// Lock, or PrepareForSleep(true): lockers lock before the machine sleeps.
void LogindSession::logindSignal(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                 const gchar* signal, GVariant* parameters, gpointer self) {
  auto* session = static_cast<LogindSession*>(self);
  if (std::strcmp(signal, "PrepareForSleep") == 0) {
    gboolean starting = FALSE;
    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(b)"))) return;
    g_variant_get(parameters, "(b)", &starting);
    if (!starting) return;
  }
  if (session->listener_ != nullptr) session->listener_->screenLockerStarting();
}

}  // namespace hushpad::linux
