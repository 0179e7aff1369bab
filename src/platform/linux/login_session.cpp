#include "platform/linux/login_session.h"

#include <gio/gunixfdlist.h>
#include <unistd.h>

namespace hushpad::linux {
namespace {

constexpr const char* kLogind = "org.freedesktop.login1";
constexpr const char* kManagerPath = "/org/freedesktop/login1";
constexpr const char* kManager = "org.freedesktop.login1.Manager";
// Long enough for a busy logind, short enough not to hold up the lock.
constexpr int kCallTimeoutMs = 2000;

}  // namespace

LogindSession::~LogindSession() {
  releasePowerKeys();
  if (bus_ != nullptr) g_object_unref(bus_);
}

GDBusConnection* LogindSession::systemBus() {
  if (bus_ == nullptr) bus_ = g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, nullptr);
  return bus_;
}

void LogindSession::holdPowerKeys() {
  if (inhibitor_ >= 0) return;
  GDBusConnection* bus = systemBus();
  if (bus == nullptr) return;
  GUnixFDList* fds = nullptr;
  GVariant* reply = g_dbus_connection_call_with_unix_fd_list_sync(
      bus, kLogind, kManagerPath, kManager, "Inhibit",
      g_variant_new("(ssss)", "handle-power-key:handle-suspend-key:handle-hibernate-key", "Hushpad",
                    "Hushpad is holding the keyboard and pointer", "block"),
      G_VARIANT_TYPE("(h)"), G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, &fds, nullptr,
      nullptr);
  if (reply != nullptr && fds != nullptr) {
    gint32 index = -1;
    g_variant_get(reply, "(h)", &index);
    inhibitor_ = g_unix_fd_list_get(fds, index, nullptr);  // a copy, closed on exec
  }
  if (reply != nullptr) g_variant_unref(reply);
  if (fds != nullptr) g_object_unref(fds);
}

void LogindSession::releasePowerKeys() {
  if (inhibitor_ < 0) return;
  close(inhibitor_);
  inhibitor_ = -1;
}

void LogindSession::watchScreenLockers(ScreenLockerListener* listener) { listener_ = listener; }

}  // namespace hushpad::linux
