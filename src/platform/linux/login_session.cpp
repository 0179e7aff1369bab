#include "platform/linux/login_session.h"

#include <gio/gunixfdlist.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

namespace hushpad::linux {
namespace {

constexpr const char* kLogind = "org.freedesktop.login1";
constexpr const char* kManagerPath = "/org/freedesktop/login1";
constexpr const char* kManager = "org.freedesktop.login1.Manager";
// Long enough for a busy logind; nothing waits for it.
constexpr int kCallTimeoutMs = 2000;
constexpr const char* kKeys = "handle-power-key:handle-suspend-key:handle-hibernate-key";
// systemd 248 and later reboot on the reboot key; older ones refuse to hear of it.
constexpr const char* kKeysWithReboot =
    "handle-power-key:handle-suspend-key:handle-hibernate-key:handle-reboot-key";

// The reply, or nothing; false when the call was cancelled (the session is
// gone: nothing may be touched).
bool finishCall(GObject* bus, GAsyncResult* result, GVariant** reply, GError** error,
                GUnixFDList** fds = nullptr) {
  *reply = fds != nullptr
               ? g_dbus_connection_call_with_unix_fd_list_finish(G_DBUS_CONNECTION(bus), fds,
                                                                 result, error)
               : g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, error);
  return *error == nullptr || !g_error_matches(*error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
}

void release(GVariant* reply, GError* error) {
  if (reply != nullptr) g_variant_unref(reply);
  if (error != nullptr) g_error_free(error);
}

}  // namespace

LogindSession::LogindSession(DisplayLockerSigns* displaySigns)
    : cancellable_(g_cancellable_new()), displaySigns_(displaySigns) {
  g_bus_get(G_BUS_TYPE_SYSTEM, cancellable_, busReady, this);
  g_bus_get(G_BUS_TYPE_SESSION, cancellable_, sessionBusReady, this);
}

LogindSession::~LogindSession() {
  watchScreenLockers(nullptr);
  releasePowerKeys();
  if (sessionManagerWatch_ != 0) g_bus_unwatch_name(sessionManagerWatch_);
  g_cancellable_cancel(cancellable_);
  g_object_unref(cancellable_);
  if (bus_ != nullptr) g_object_unref(bus_);
  if (sessionBus_ != nullptr) g_object_unref(sessionBus_);
}

void LogindSession::call(const char* path, const char* interface, const char* method,
                         GVariant* parameters, const GVariantType* replyType,
                         GAsyncReadyCallback done) {
  g_dbus_connection_call(bus_, kLogind, path, interface, method, parameters, replyType,
                         G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, cancellable_, done, this);
}

void LogindSession::busReady(GObject*, GAsyncResult* result, gpointer self) {
  GError* error = nullptr;
  GDBusConnection* bus = g_bus_get_finish(result, &error);
  if (bus == nullptr) {
    g_error_free(error);  // no system bus: no logind, and the locks go ahead without it
    return;
  }
  auto* session = static_cast<LogindSession*>(self);
  session->bus_ = bus;
  g_dbus_connection_call(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                         "org.freedesktop.DBus", "GetNameOwner", g_variant_new("(s)", kLogind),
                         G_VARIANT_TYPE("(s)"), G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs,
                         session->cancellable_, ownerReady, self);
}

// Signals are taken only from logind's own connection: a name is no proof of
// who sent a signal.
void LogindSession::ownerReady(GObject* bus, GAsyncResult* result, gpointer self) {
  GVariant* reply = nullptr;
  GError* error = nullptr;
  if (!finishCall(bus, result, &reply, &error)) return release(reply, error);
  auto* session = static_cast<LogindSession*>(self);
  if (reply != nullptr) {
    const gchar* owner = nullptr;
    g_variant_get(reply, "(&s)", &owner);
    session->logindOwner_ = owner;
    session->lookUpSession(SessionLookup::ById);
  }
  release(reply, error);
}

// Programs a desktop starts by itself often run outside the login session (a
// systemd user scope), where logind finds no session for the process: the
// session's own id, then the user's display session, come first.
void LogindSession::lookUpSession(SessionLookup step) {
  lookup_ = step;
  switch (step) {
    case SessionLookup::ById: {
      const char* id = std::getenv("XDG_SESSION_ID");
      if (id == nullptr || *id == '\0') return lookUpSession(SessionLookup::UserDisplay);
      return call(kManagerPath, kManager, "GetSession", g_variant_new("(s)", id),
                  G_VARIANT_TYPE("(o)"), sessionReady);
    }
    case SessionLookup::UserDisplay:
      return call(kManagerPath, kManager, "GetUser", g_variant_new("(u)", getuid()),
                  G_VARIANT_TYPE("(o)"), sessionReady);
    case SessionLookup::ByProcess:
      return call(kManagerPath, kManager, "GetSessionByPID",
                  g_variant_new("(u)", static_cast<guint32>(getpid())), G_VARIANT_TYPE("(o)"),
                  sessionReady);
  }
}

void LogindSession::sessionReady(GObject* bus, GAsyncResult* result, gpointer self) {
  GVariant* reply = nullptr;
  GError* error = nullptr;
  if (!finishCall(bus, result, &reply, &error)) return release(reply, error);
  auto* session = static_cast<LogindSession*>(self);
  const SessionLookup step = session->lookup_;
  const bool isProperty = reply != nullptr && g_variant_is_of_type(reply, G_VARIANT_TYPE("(v)"));
  if (reply != nullptr && step == SessionLookup::UserDisplay && !isProperty) {
    // The user's object: its Display property names the display session.
    const gchar* user = nullptr;
    g_variant_get(reply, "(&o)", &user);
    session->call(user, "org.freedesktop.DBus.Properties", "Get",
                  g_variant_new("(ss)", "org.freedesktop.login1.User", "Display"),
                  G_VARIANT_TYPE("(v)"), sessionReady);
    return release(reply, error);
  }
  const gchar* path = nullptr;
  if (isProperty) {
    GVariant* display = nullptr;
    g_variant_get(reply, "(v)", &display);
    if (g_variant_is_of_type(display, G_VARIANT_TYPE("(so)"))) {
      g_variant_get(display, "(&s&o)", nullptr, &path);
      session->sessionPath_ = path;  // copied before the variant goes
    }
    g_variant_unref(display);
    path = session->sessionPath_ == "/" ? nullptr : session->sessionPath_.c_str();
    if (path == nullptr) session->sessionPath_.clear();
  } else if (reply != nullptr) {
    g_variant_get(reply, "(&o)", &path);
    session->sessionPath_ = path;
  }
  release(reply, error);
  if (!session->sessionPath_.empty()) {
    if (session->listener_ != nullptr) session->subscribe();  // a lock that began meanwhile
    return;
  }
  if (step == SessionLookup::ById) session->lookUpSession(SessionLookup::UserDisplay);
  if (step == SessionLookup::UserDisplay) session->lookUpSession(SessionLookup::ByProcess);
}

void LogindSession::holdPowerKeys() {
  wantInhibitor_ = true;
  if (inhibitor_ < 0 && !inhibitPending_ && bus_ != nullptr) requestInhibitor();
}

void LogindSession::requestInhibitor() {
  inhibitPending_ = true;
  g_dbus_connection_call_with_unix_fd_list(
      bus_, kLogind, kManagerPath, kManager, "Inhibit",
      g_variant_new("(ssss)", inhibitWithRebootKey_ ? kKeysWithReboot : kKeys, "Hushpad",
                    "Hushpad is holding the keyboard and pointer", "block"),
      G_VARIANT_TYPE("(h)"), G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, cancellable_,
      inhibitReady, this);
}

// The inhibitor may arrive after the unlock it was meant for: then it goes at once.
void LogindSession::inhibitReady(GObject* bus, GAsyncResult* result, gpointer self) {
  GVariant* reply = nullptr;
  GError* error = nullptr;
  GUnixFDList* fds = nullptr;
  const bool live = finishCall(bus, result, &reply, &error, &fds);
  int fd = -1;
  if (reply != nullptr && fds != nullptr) {
    gint32 index = -1;
    g_variant_get(reply, "(h)", &index);
    fd = g_unix_fd_list_get(fds, index, nullptr);  // a copy, closed on exec
  }
  const bool refusedKeys =
      error != nullptr && g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_INVALID_ARGS);
  release(reply, error);
  if (fds != nullptr) g_object_unref(fds);
  if (!live) {
    if (fd >= 0) close(fd);
    return;
  }
  auto* session = static_cast<LogindSession*>(self);
  session->inhibitPending_ = false;
  if (refusedKeys && session->inhibitWithRebootKey_) {
    session->inhibitWithRebootKey_ = false;
    if (session->wantInhibitor_) session->requestInhibitor();
    return;
  }
  if (!session->wantInhibitor_ || session->inhibitor_ >= 0) {
    if (fd >= 0) close(fd);
    return;
  }
  session->inhibitor_ = fd;
}

void LogindSession::releasePowerKeys() {
  wantInhibitor_ = false;
  if (inhibitor_ < 0) return;
  close(inhibitor_);
  inhibitor_ = -1;
}

void LogindSession::watchScreenLockers(ScreenLockerListener* listener) {
  const bool wasWatching = listener_ != nullptr;
  listener_ = listener;
  if (listener != nullptr && !wasWatching) subscribe();
  if (listener == nullptr && wasWatching) unsubscribe();
  if (displaySigns_ != nullptr) displaySigns_->watch(listener);
}

void LogindSession::subscribe() {
  if (sessionBus_ != nullptr && !sessionManager_.empty() && presenceSubscription_ == 0) {
    presenceSubscription_ = g_dbus_connection_signal_subscribe(
        sessionBus_, sessionManager_.c_str(), "org.gnome.SessionManager.Presence",
        "StatusChanged", "/org/gnome/SessionManager/Presence", nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
        presenceSignal, this, nullptr);
  }
  if (bus_ == nullptr || logindOwner_.empty()) return;
  const gchar* sender = logindOwner_.c_str();
  if (!sessionPath_.empty() && lockSubscription_ == 0) {
    lockSubscription_ = g_dbus_connection_signal_subscribe(
        bus_, sender, "org.freedesktop.login1.Session", "Lock", sessionPath_.c_str(), nullptr,
        G_DBUS_SIGNAL_FLAGS_NONE, logindSignal, this, nullptr);
  }
  if (sleepSubscription_ == 0) {
    sleepSubscription_ = g_dbus_connection_signal_subscribe(
        bus_, sender, kManager, "PrepareForSleep", kManagerPath, nullptr,
        G_DBUS_SIGNAL_FLAGS_NONE, logindSignal, this, nullptr);
  }
}

void LogindSession::unsubscribe() {
  for (guint* subscription : {&lockSubscription_, &sleepSubscription_}) {
    if (*subscription != 0) g_dbus_connection_signal_unsubscribe(bus_, *subscription);
    *subscription = 0;
  }
  unsubscribePresence();
}

void LogindSession::unsubscribePresence() {
  if (presenceSubscription_ != 0) {
    g_dbus_connection_signal_unsubscribe(sessionBus_, presenceSubscription_);
  }
  presenceSubscription_ = 0;
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
  if (session->listener_ == nullptr) return;
  if (std::strcmp(signal, "PrepareForSleep") == 0) {
    session->listener_->machineGoingToSleep();
  } else {
    session->listener_->inputWantedElsewhere();
  }
}

// GNOME's session manager goes idle just before GNOME Shell locks, with a
// single try at its grab: the first sign it gives. Heard only from the
// connection that owns the session manager's name and is gnome-session's:
// where gnome-session does not run, any program could own that name.
void LogindSession::presenceSignal(GDBusConnection*, const gchar* sender, const gchar*,
                                   const gchar*, const gchar*, GVariant* parameters,
                                   gpointer self) {
  constexpr guint32 kIdle = 3;
  guint32 status = 0;
  auto* session = static_cast<LogindSession*>(self);
  if (sender == nullptr || session->sessionManager_ != sender) return;
  if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(u)"))) return;
  g_variant_get(parameters, "(u)", &status);
  if (status == kIdle && session->listener_ != nullptr) session->listener_->inputWantedElsewhere();
}

void LogindSession::sessionManagerAppeared(GDBusConnection* bus, const gchar*, const gchar* owner,
                                           gpointer self) {
  auto* session = static_cast<LogindSession*>(self);
  session->sessionManager_.clear();
  session->unsubscribePresence();
  g_dbus_connection_call(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                         "org.freedesktop.DBus", "GetConnectionCredentials",
                         g_variant_new("(s)", owner), G_VARIANT_TYPE("(a{sv})"),
                         G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, session->cancellable_,
                         sessionManagerCredentials,
                         new std::pair<LogindSession*, std::string>(session, owner));
}

void LogindSession::sessionManagerVanished(GDBusConnection*, const gchar*, gpointer self) {
  auto* session = static_cast<LogindSession*>(self);
  session->sessionManager_.clear();
  session->unsubscribePresence();
}

// The owner counts when it runs as this user and its program is gnome-session.
void LogindSession::sessionManagerCredentials(GObject* bus, GAsyncResult* result, gpointer data) {
  std::unique_ptr<std::pair<LogindSession*, std::string>> asked(
      static_cast<std::pair<LogindSession*, std::string>*>(data));
  GVariant* reply = nullptr;
  GError* error = nullptr;
  if (!finishCall(bus, result, &reply, &error) || reply == nullptr) {
    return release(reply, error);
  }
  GVariant* credentials = g_variant_get_child_value(reply, 0);
  guint32 uid = 0;
  guint32 pid = 0;
  const bool known = g_variant_lookup(credentials, "UnixUserID", "u", &uid) &&
                     g_variant_lookup(credentials, "ProcessID", "u", &pid);
  g_variant_unref(credentials);
  release(reply, error);
  if (!known || uid != getuid()) return;
  gchar* comm = nullptr;
  const std::string commPath = "/proc/" + std::to_string(pid) + "/comm";
  if (!g_file_get_contents(commPath.c_str(), &comm, nullptr, nullptr)) return;
  const bool gnomeSession = g_str_has_prefix(comm, "gnome-session");
  g_free(comm);
  if (!gnomeSession) return;
  LogindSession* session = asked->first;
  session->sessionManager_ = asked->second;
  if (session->listener_ != nullptr) session->subscribe();
}

void LogindSession::sessionBusReady(GObject*, GAsyncResult* result, gpointer self) {
  GError* error = nullptr;
  GDBusConnection* bus = g_bus_get_finish(result, &error);
  if (bus == nullptr) {
    g_error_free(error);
    return;
  }
  auto* session = static_cast<LogindSession*>(self);
  session->sessionBus_ = bus;
  session->sessionManagerWatch_ = g_bus_watch_name_on_connection(
      bus, "org.gnome.SessionManager", G_BUS_NAME_WATCHER_FLAGS_NONE, sessionManagerAppeared,
      sessionManagerVanished, self, nullptr);
  if (session->listener_ != nullptr) session->subscribe();  // a lock that began meanwhile
}

}  // namespace hushpad::linux
