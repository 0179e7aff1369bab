#pragma once
// Whether the session shows StatusNotifierItems now: the panel's
// StatusNotifierWatcher is on the session bus and a host has registered with
// it. Panels come and go (a restart, another panel): each change is told.

#include <gio/gio.h>

#include <functional>
#include <string>

namespace hushpad::linux {

class StatusNotifierHostWatch {
 public:
  // The session bus while there is a host, else nullptr; also told once when
  // there is no session bus at all.
  using Changed = std::function<void(GDBusConnection* busWithHost)>;

  explicit StatusNotifierHostWatch(Changed changed);
  ~StatusNotifierHostWatch();
  // What was told last is forgotten: the next sign of a host is told again.
  void forget() { toldAnything_ = false; }
  StatusNotifierHostWatch(const StatusNotifierHostWatch&) = delete;
  StatusNotifierHostWatch& operator=(const StatusNotifierHostWatch&) = delete;

 private:
  bool fromWatcher(const gchar* sender) const;
  static void busReady(GObject*, GAsyncResult* result, gpointer self);
  static void watcherAppeared(GDBusConnection*, const gchar*, const gchar* owner, gpointer self);
  static void watcherVanished(GDBusConnection*, const gchar*, gpointer self);
  static void hostRegistered(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                             const gchar*, GVariant*, gpointer self);
  static void hostUnregistered(GDBusConnection* bus, const gchar* sender, const gchar*,
                               const gchar*, const gchar*, GVariant*, gpointer self);
  void readHosts(GDBusConnection* bus, const gchar* watcher);
  static void hostsRead(GObject* source, GAsyncResult* result, gpointer self);
  void tell(bool host);

  Changed changed_;
  GCancellable* cancellable_;
  GDBusConnection* bus_ = nullptr;
  guint watchId_ = 0;
  guint signalId_ = 0;
  guint unregisteredId_ = 0;
  bool toldHost_ = false;
  // The watcher's unique connection name while it is there.
  std::string watcher_;
  bool toldAnything_ = false;
};

}  // namespace hushpad::linux
