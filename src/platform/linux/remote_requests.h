#pragma once
// The lock and unlock commands and the desktop's global shortcut on Linux.
// The running Hushpad is the GApplication app.hushpad.Hushpad on the session
// bus, with the actions "lock" and "unlock" (`hushpad --lock`, `gapplication
// action app.hushpad.Hushpad lock`, the desktop file's "Lock Now"). The
// shortcut comes from the desktop portal's GlobalShortcuts, where the session
// has it: its id is "lock", and it only ever locks.

#include <gio/gio.h>

#include <memory>
#include <optional>
#include <string>

#include "platform/remote_requests.h"

namespace hushpad::linux {

inline constexpr const char* kApplicationId = "app.hushpad.Hushpad";

// What `hushpad --lock` (lock true) or `--unlock` does: asks the Hushpad of
// this session bus and returns the exit status, having said on stderr why it
// is not 0. Never starts Hushpad.
int sendLockCommand(bool lock);

class ApplicationRequests final : public RemoteRequests {
 public:
  enum class Registration {
    Registered,     // this process answers the commands
    NoSessionBus,   // nothing can reach it: it runs without the commands
    AlreadyTaken,   // another Hushpad of this session answers them
  };

  ApplicationRequests();
  ~ApplicationRequests() override;
  ApplicationRequests(const ApplicationRequests&) = delete;
  ApplicationRequests& operator=(const ApplicationRequests&) = delete;

  // Takes the name app.hushpad.Hushpad on the session bus.
  Registration registerOnSessionBus();

  void listen(ActionTarget* target, const KeyShortcut& preferred) override;
  void stopListening() override;
  // The portal (or the user in its dialog) chooses the keys: none to show.
  std::optional<KeyShortcut> grantedShortcut() const override { return std::nullopt; }

  // "CTRL+ALT+LOGO+l", as the portal takes a preferred trigger.
  static std::string portalTrigger(const KeyShortcut& shortcut);

 private:
  static void activated(GSimpleAction* action, GVariant* parameter, gpointer self);
  static gboolean deliver(gpointer request);
  void send(Action action);
  void startShortcutSession(const KeyShortcut& preferred);
  void subscribeToResponse(const std::string& requestPath, GDBusSignalCallback callback);
  static void sessionCreated(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                             const gchar*, GVariant* parameters, gpointer self);
  static void shortcutsBound(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                             const gchar*, GVariant* parameters, gpointer self);
  static void shortcutActivated(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                const gchar*, GVariant* parameters, gpointer self);
  std::string requestPath(const std::string& token) const;

  GApplication* application_ = nullptr;
  GDBusConnection* bus_ = nullptr;  // the application's, not owned
  std::string preferredTrigger_;
  std::string sessionHandle_;
  guint responseSubscription_ = 0;
  guint activatedSubscription_ = 0;
  // Pending deliveries hold this to know whether it still listens.
  std::shared_ptr<ActionTarget*> liveTarget_ = std::make_shared<ActionTarget*>(nullptr);
};

}  // namespace hushpad::linux
