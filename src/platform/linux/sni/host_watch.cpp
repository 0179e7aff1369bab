#include "platform/linux/sni/host_watch.h"

#include "platform/linux/sni/status_notifier_item.h"

namespace hushpad::linux {

StatusNotifierHostWatch::StatusNotifierHostWatch(Changed changed)
    : changed_(std::move(changed)), cancellable_(g_cancellable_new()) {
  g_bus_get(G_BUS_TYPE_SESSION, cancellable_, busReady, this);
}

StatusNotifierHostWatch::~StatusNotifierHostWatch() {
  g_cancellable_cancel(cancellable_);
  g_object_unref(cancellable_);
  if (watchId_ != 0) g_bus_unwatch_name(watchId_);
  if (signalId_ != 0) g_dbus_connection_signal_unsubscribe(bus_, signalId_);
  if (unregisteredId_ != 0) g_dbus_connection_signal_unsubscribe(bus_, unregisteredId_);
  if (bus_ != nullptr) g_object_unref(bus_);
}

void StatusNotifierHostWatch::busReady(GObject*, GAsyncResult* result, gpointer self) {
  GError* error = nullptr;
  GDBusConnection* bus = g_bus_get_finish(result, &error);
  if (error != nullptr) {
    const bool cancelled = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
    g_error_free(error);
    if (!cancelled) static_cast<StatusNotifierHostWatch*>(self)->tell(false);
    return;
  }
  auto* watch = static_cast<StatusNotifierHostWatch*>(self);
  watch->bus_ = bus;
  watch->signalId_ = g_dbus_connection_signal_subscribe(
      bus, nullptr, kStatusNotifierWatcher, "StatusNotifierHostRegistered",
      "/StatusNotifierWatcher", nullptr, G_DBUS_SIGNAL_FLAGS_NONE, hostRegistered, self, nullptr);
  // A watcher may outlive its host (a panel that ended while the watcher
  // stays): the item then goes back to the tray icon.
  watch->unregisteredId_ = g_dbus_connection_signal_subscribe(
      bus, nullptr, kStatusNotifierWatcher, "StatusNotifierHostUnregistered",
      "/StatusNotifierWatcher", nullptr, G_DBUS_SIGNAL_FLAGS_NONE, hostUnregistered, self,
      nullptr);
  watch->watchId_ = g_bus_watch_name_on_connection(bus, kStatusNotifierWatcher,
                                                   G_BUS_NAME_WATCHER_FLAGS_NONE, watcherAppeared,
                                                   watcherVanished, self, nullptr);
}

// A watcher with no host yet shows nothing: the host's registration is waited for.
void StatusNotifierHostWatch::watcherAppeared(GDBusConnection* bus, const gchar*, const gchar* owner,
                                              gpointer self) {
  auto* watch = static_cast<StatusNotifierHostWatch*>(self);
  watch->watcher_ = owner;
  watch->readHosts(bus, owner);
}

// A signal counts only from the watcher's own connection: a name is no proof
// of who sent it.
bool StatusNotifierHostWatch::fromWatcher(const gchar* sender) const {
  return sender != nullptr && !watcher_.empty() && watcher_ == sender;
}

void StatusNotifierHostWatch::readHosts(GDBusConnection* bus, const gchar* watcher) {
  g_dbus_connection_call(bus, watcher, "/StatusNotifierWatcher", "org.freedesktop.DBus.Properties",
                         "Get",
                         g_variant_new("(ss)", kStatusNotifierWatcher,
                                       "IsStatusNotifierHostRegistered"),
                         G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NONE, -1, cancellable_,
                         hostsRead, this);
}

void StatusNotifierHostWatch::hostUnregistered(GDBusConnection* bus, const gchar* sender,
                                               const gchar*, const gchar*, const gchar*, GVariant*,
                                               gpointer self) {
  auto* watch = static_cast<StatusNotifierHostWatch*>(self);
  if (watch->fromWatcher(sender)) watch->readHosts(bus, sender);
}

void StatusNotifierHostWatch::watcherVanished(GDBusConnection*, const gchar*, gpointer self) {
  auto* watch = static_cast<StatusNotifierHostWatch*>(self);
  watch->watcher_.clear();
  watch->tell(false);
}

void StatusNotifierHostWatch::hostRegistered(GDBusConnection*, const gchar* sender, const gchar*,
                                             const gchar*, const gchar*, GVariant*, gpointer self) {
  auto* watch = static_cast<StatusNotifierHostWatch*>(self);
  if (watch->fromWatcher(sender)) watch->tell(true);
}

void StatusNotifierHostWatch::hostsRead(GObject* source, GAsyncResult* result, gpointer self) {
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
  if (error != nullptr) {
    const bool cancelled = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
    g_error_free(error);
    // A watcher that cannot say whether it has a host is taken at its word
    // that it is there to show items.
    if (!cancelled) static_cast<StatusNotifierHostWatch*>(self)->tell(true);
    return;
  }
  GVariant* value = nullptr;
  g_variant_get(reply, "(v)", &value);
  const bool host =
      g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN) && g_variant_get_boolean(value);
  g_variant_unref(value);
  g_variant_unref(reply);
  static_cast<StatusNotifierHostWatch*>(self)->tell(host);
}

void StatusNotifierHostWatch::tell(bool host) {
  if (toldAnything_ && host == toldHost_) return;
  toldAnything_ = true;
  toldHost_ = host;
  changed_(host ? bus_ : nullptr);
}

}  // namespace hushpad::linux
