#include "platform/linux/remote_requests.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/linux/processes.h"

namespace hushpad::linux {
namespace {

constexpr const char* kObjectPath = "/app/hushpad/Hushpad";
constexpr const char* kPortalName = "org.freedesktop.portal.Desktop";
constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
constexpr const char* kShortcutsInterface = "org.freedesktop.portal.GlobalShortcuts";
constexpr const char* kShortcutId = "lock";
constexpr int kCommandTimeoutMs = 5000;

struct ErrorDeleter {
  void operator()(GError* error) const { g_error_free(error); }
};
using OwnedError = std::unique_ptr<GError, ErrorDeleter>;

struct PendingRequest {
  std::shared_ptr<ActionTarget*> target;
  Action action;
};

}  // namespace

// The session bus the environment names, or the user's bus in
// XDG_RUNTIME_DIR; never one started for the occasion (GLib would launch one
// where an X display is set).
std::string sessionBusAddress() {
  if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS")) return address;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime == nullptr) return {};
  const std::string socket = std::string(runtime) + "/bus";
  if (!g_file_test(socket.c_str(), G_FILE_TEST_EXISTS)) return {};
  gchar* escaped = g_dbus_address_escape_value(socket.c_str());
  std::string address = std::string("unix:path=") + escaped;
  g_free(escaped);
  return address;
}

int sendLockCommand(bool lock) {
  const std::string address = sessionBusAddress();
  if (address.empty()) {
    std::fputs("Hushpad is not running: there is no session bus to reach it.\n", stderr);
    return EXIT_FAILURE;
  }
  GError* rawError = nullptr;
  GDBusConnection* bus = g_dbus_connection_new_for_address_sync(
      address.c_str(),
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, &rawError);
  if (bus == nullptr) {
    OwnedError error(rawError);
    std::fprintf(stderr, "Hushpad is not running: the session bus cannot be reached (%s).\n",
                 error->message);
    return EXIT_FAILURE;
  }
  // NO_AUTO_START: a command that finds no Hushpad starts none.
  GVariant* reply = g_dbus_connection_call_sync(
      bus, kApplicationId, kObjectPath, "org.freedesktop.Application", "ActivateAction",
      g_variant_new("(s@av@a{sv})", lock ? "lock" : "unlock",
                    g_variant_new_array(G_VARIANT_TYPE_VARIANT, nullptr, 0),
                    g_variant_new_array(G_VARIANT_TYPE("{sv}"), nullptr, 0)),
      nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START, kCommandTimeoutMs, nullptr, &rawError);
  g_object_unref(bus);
  if (reply == nullptr) {
    OwnedError error(rawError);
    if (g_error_matches(error.get(), G_DBUS_ERROR, G_DBUS_ERROR_SERVICE_UNKNOWN) ||
        g_error_matches(error.get(), G_DBUS_ERROR, G_DBUS_ERROR_NAME_HAS_NO_OWNER)) {
      std::fputs("Hushpad is not running.\n", stderr);
    } else {
      std::fprintf(stderr, "Hushpad did not answer: %s\n", error->message);
    }
    return EXIT_FAILURE;
  }
  g_variant_unref(reply);
  return EXIT_SUCCESS;
}

ApplicationRequests::ApplicationRequests()
    : application_(g_application_new(kApplicationId, G_APPLICATION_DEFAULT_FLAGS)) {
  const GActionEntry entries[] = {
      {"lock", activated, nullptr, nullptr, nullptr, {}},
      {"unlock", activated, nullptr, nullptr, nullptr, {}},
  };
  g_action_map_add_action_entries(G_ACTION_MAP(application_), entries, G_N_ELEMENTS(entries),
                                  this);
}

ApplicationRequests::~ApplicationRequests() {
  stopListening();
  if (bus_ != nullptr && activatedSubscription_ != 0) {
    g_dbus_connection_signal_unsubscribe(bus_, activatedSubscription_);
  }
  if (bus_ != nullptr && responseSubscription_ != 0) {
    g_dbus_connection_signal_unsubscribe(bus_, responseSubscription_);
  }
  g_object_unref(application_);
}

namespace {

// How long a name left by a process that has ended may take to go: the bus
// drops it once it has seen the connection close, which can come after a
// fresh Hushpad started in its place (by the stall watchdog) asks for it.
constexpr gint64 kEndedOwnerDeadlineUs = 3 * G_USEC_PER_SEC;

// Waits while the application's name belongs to a process that has ended.
void waitForEndedOwner() {
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  if (bus == nullptr) return;
  const gint64 deadline = g_get_monotonic_time() + kEndedOwnerDeadlineUs;
  for (;;) {
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "GetConnectionUnixProcessID", g_variant_new("(s)", kApplicationId), G_VARIANT_TYPE("(u)"),
        G_DBUS_CALL_FLAGS_NONE, 500, nullptr, nullptr);
    if (reply == nullptr) break;  // nobody owns it
    guint32 pid = 0;
    g_variant_get(reply, "(u)", &pid);
    g_variant_unref(reply);
    if (!processEnded(pid) || g_get_monotonic_time() > deadline) break;
    g_usleep(20 * 1000);
  }
  g_object_unref(bus);
}

}  // namespace

ApplicationRequests::Registration ApplicationRequests::registerOnSessionBus() {
  waitForEndedOwner();
  GError* rawError = nullptr;
  if (!g_application_register(application_, nullptr, &rawError)) {
    OwnedError error(rawError);
    std::fprintf(stderr, "Hushpad: no lock command (%s).\n", error->message);
    return Registration::NoSessionBus;
  }
  bus_ = g_application_get_dbus_connection(application_);
  if (bus_ == nullptr) return Registration::NoSessionBus;
  if (g_application_get_is_remote(application_)) return Registration::AlreadyTaken;
  return Registration::Registered;
}

void ApplicationRequests::listen(ActionTarget* target, const KeyShortcut& preferred) {
  *liveTarget_ = target;
  if (bus_ != nullptr && sessionHandle_.empty() && responseSubscription_ == 0) {
    startShortcutSession(preferred);
  }
}

void ApplicationRequests::stopListening() { *liveTarget_ = nullptr; }

std::string ApplicationRequests::portalTrigger(const KeyShortcut& shortcut) {
  std::string trigger;
  if (shortcut.modifiers & kKeyModifierControl) trigger += "CTRL+";
  if (shortcut.modifiers & kKeyModifierOption) trigger += "ALT+";
  if (shortcut.modifiers & kKeyModifierShift) trigger += "SHIFT+";
  if (shortcut.modifiers & kKeyModifierCommand) trigger += "LOGO+";
  return trigger + shortcut.key;
}

// From the bus, inside its dispatch: the request runs on a later pass, once
// the caller has its answer, as a menu's item does.
void ApplicationRequests::activated(GSimpleAction* action, GVariant*, gpointer self) {
  const bool lock = g_str_equal(g_action_get_name(G_ACTION(action)), "lock");
  static_cast<ApplicationRequests*>(self)->send(lock ? Action::LockRequested
                                                     : Action::UnlockRequested);
}

void ApplicationRequests::send(Action action) {
  if (*liveTarget_ == nullptr) return;
  g_idle_add_full(G_PRIORITY_DEFAULT, deliver, new PendingRequest{liveTarget_, action},
                  [](gpointer request) { delete static_cast<PendingRequest*>(request); });
}

gboolean ApplicationRequests::deliver(gpointer data) {
  const auto* request = static_cast<const PendingRequest*>(data);
  if (ActionTarget* target = *request->target) target->performAction(request->action);
  return G_SOURCE_REMOVE;
}

// /org/freedesktop/portal/desktop/request/SENDER/TOKEN, SENDER the unique
// name without its colon and with its dots as underscores.
std::string ApplicationRequests::requestPath(const std::string& token) const {
  std::string sender = g_dbus_connection_get_unique_name(bus_) + 1;
  for (char& c : sender) {
    if (c == '.') c = '_';
  }
  return std::string(kPortalPath) + "/request/" + sender + "/" + token;
}

// Subscribed before the call, so that a quick answer is not missed.
void ApplicationRequests::subscribeToResponse(const std::string& path,
                                              GDBusSignalCallback callback) {
  if (responseSubscription_ != 0) g_dbus_connection_signal_unsubscribe(bus_, responseSubscription_);
  responseSubscription_ = g_dbus_connection_signal_subscribe(
      bus_, kPortalName, "org.freedesktop.portal.Request", "Response", path.c_str(), nullptr,
      G_DBUS_SIGNAL_FLAGS_NONE, callback, this, nullptr);
}

// CreateSession, then BindShortcuts with the one shortcut, then Activated. A
// session without the portal, or whose portal has no GlobalShortcuts, gets an
// error back and simply has no shortcut.
void ApplicationRequests::startShortcutSession(const KeyShortcut& preferred) {
  preferredTrigger_ = portalTrigger(preferred);
  // Outside a sandbox the portal learns the application's id from this
  // call, where it has it; an older portal has no registry, which is fine.
  g_dbus_connection_call(bus_, kPortalName, kPortalPath, "org.freedesktop.host.portal.Registry",
                         "Register", g_variant_new("(s@a{sv})", kApplicationId,
                                                   g_variant_new_array(G_VARIANT_TYPE("{sv}"),
                                                                       nullptr, 0)),
                         nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
  subscribeToResponse(requestPath("hushpad_session"), sessionCreated);
  GVariantBuilder options;
  g_variant_builder_init(&options, G_VARIANT_TYPE("a{sv}"));
  g_variant_builder_add(&options, "{sv}", "handle_token", g_variant_new_string("hushpad_session"));
  g_variant_builder_add(&options, "{sv}", "session_handle_token",
                        g_variant_new_string("hushpad"));
  g_dbus_connection_call(
      bus_, kPortalName, kPortalPath, kShortcutsInterface, "CreateSession",
      g_variant_new("(a{sv})", &options), G_VARIANT_TYPE("(o)"), G_DBUS_CALL_FLAGS_NONE, -1,
      nullptr,
      [](GObject* source, GAsyncResult* result, gpointer self) {
        GError* rawError = nullptr;
        GVariant* reply =
            g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &rawError);
        if (reply != nullptr) {
          g_variant_unref(reply);
          return;
        }
        OwnedError error(rawError);
        auto* requests = static_cast<ApplicationRequests*>(self);
        g_dbus_connection_signal_unsubscribe(requests->bus_, requests->responseSubscription_);
        requests->responseSubscription_ = 0;
        std::fprintf(stderr, "Hushpad: no global shortcut from the desktop portal (%s).\n",
                     error->message);
      },
      this);
}

void ApplicationRequests::sessionCreated(GDBusConnection*, const gchar*, const gchar*,
                                         const gchar*, const gchar*, GVariant* parameters,
                                         gpointer self) {
  auto* requests = static_cast<ApplicationRequests*>(self);
  guint32 response = 0;
  GVariant* results = nullptr;
  g_variant_get(parameters, "(u@a{sv})", &response, &results);
  // Older portals give the handle as a string, newer ones as an object path.
  const gchar* handle = nullptr;
  if (response == 0 && !g_variant_lookup(results, "session_handle", "&s", &handle)) {
    g_variant_lookup(results, "session_handle", "&o", &handle);
  }
  if (handle == nullptr) {
    g_variant_unref(results);
    std::fputs("Hushpad: the desktop portal made no shortcut session.\n", stderr);
    return;
  }
  requests->sessionHandle_ = handle;
  g_variant_unref(results);
  requests->activatedSubscription_ = g_dbus_connection_signal_subscribe(
      requests->bus_, kPortalName, kShortcutsInterface, "Activated", kPortalPath, nullptr,
      G_DBUS_SIGNAL_FLAGS_NONE, shortcutActivated, requests, nullptr);
  requests->subscribeToResponse(requests->requestPath("hushpad_bind"), shortcutsBound);

  GVariantBuilder shortcut;
  g_variant_builder_init(&shortcut, G_VARIANT_TYPE("a{sv}"));
  g_variant_builder_add(&shortcut, "{sv}", "description",
                        g_variant_new_string("Lock the keyboard, mouse and touchpad"));
  g_variant_builder_add(&shortcut, "{sv}", "preferred_trigger",
                        g_variant_new_string(requests->preferredTrigger_.c_str()));
  GVariantBuilder shortcuts;
  g_variant_builder_init(&shortcuts, G_VARIANT_TYPE("a(sa{sv})"));
  g_variant_builder_add(&shortcuts, "(sa{sv})", kShortcutId, &shortcut);
  GVariantBuilder options;
  g_variant_builder_init(&options, G_VARIANT_TYPE("a{sv}"));
  g_variant_builder_add(&options, "{sv}", "handle_token", g_variant_new_string("hushpad_bind"));
  g_dbus_connection_call(requests->bus_, kPortalName, kPortalPath, kShortcutsInterface,
                         "BindShortcuts",
                         g_variant_new("(oa(sa{sv})sa{sv})", requests->sessionHandle_.c_str(),
                                       &shortcuts, "", &options),
                         G_VARIANT_TYPE("(o)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr,
                         nullptr);
}

void ApplicationRequests::shortcutsBound(GDBusConnection*, const gchar*, const gchar*,
                                         const gchar*, const gchar*, GVariant* parameters,
                                         gpointer self) {
  auto* requests = static_cast<ApplicationRequests*>(self);
  g_dbus_connection_signal_unsubscribe(requests->bus_, requests->responseSubscription_);
  requests->responseSubscription_ = 0;
  guint32 response = 0;
  g_variant_get(parameters, "(u@a{sv})", &response, nullptr);
  if (response != 0) std::fputs("Hushpad: the global shortcut was not bound.\n", stderr);
}

// Only the portal's own signals for this session, and only the id "lock".
void ApplicationRequests::shortcutActivated(GDBusConnection*, const gchar*, const gchar*,
                                            const gchar*, const gchar*, GVariant* parameters,
                                            gpointer self) {
  auto* requests = static_cast<ApplicationRequests*>(self);
  const gchar* session = nullptr;
  const gchar* id = nullptr;
  if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(osta{sv})"))) return;
  g_variant_get(parameters, "(&o&sta{sv})", &session, &id, nullptr, nullptr);
  if (requests->sessionHandle_ != session || !g_str_equal(id, kShortcutId)) return;
  requests->send(Action::LockShortcutPressed);
}

}  // namespace hushpad::linux
