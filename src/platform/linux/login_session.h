#pragma once
// The login session on a Linux desktop: logind's inhibitor for the power,
// suspend, hibernate and reboot keys, which logind reads from the kernel past
// any X grab, and the signs that a screen locker is about to take the screen.
// Nothing here waits: the system bus, logind's own connection and this
// session are looked up in the background from the start, with deadlines, and
// a lock whose helpers are not ready goes ahead without them. Main thread
// only; the entry point owns it.

#include <gio/gio.h>

#include <string>

#include "platform/session.h"
namespace hushpad::linux {

// The display server's own signs that a locker wants the input (the X server's
// grabs and screen saver), where it shows any.
class DisplayLockerSigns {
 public:
  virtual ~DisplayLockerSigns() = default;
  // Starts telling listener or, with nullptr, stops.
  virtual void watch(ScreenLockerListener* listener) = 0;
};

class LogindSession final : public LoginSession {
 public:
  // Starts connecting to the system bus that DBUS_SYSTEM_BUS_ADDRESS names
  // (the usual one by default).
  // displaySigns (none where the display server shows none) outlives it.
  explicit LogindSession(DisplayLockerSigns* displaySigns);
  ~LogindSession() override;
  LogindSession(const LogindSession&) = delete;
  LogindSession& operator=(const LogindSession&) = delete;

  // A "block" inhibitor of handle-power-key, handle-suspend-key,
  // handle-hibernate-key and handle-reboot-key (without the last where logind
  // does not know it), asked for without waiting. The kernel closes it with
  // the process.
  void holdPowerKeys() override;
  void releasePowerKeys() override;
  // Signs that another program wants the input: logind's Lock signal for this
  // process's session (`loginctl lock-session`, idle and lid actions, lockers
  // that lock before sleep) and its PrepareForSleep signal, GNOME's session
  // manager going idle (from gnome-session only), and the display server's signs, which also tell when
  // the input may be free again. logind's signals count only
  // from the connection that owns its name.
  void watchScreenLockers(ScreenLockerListener* listener) override;

  // The session is XDG_SESSION_ID's, else the user's display session, else
  // the one logind finds for this process (empty until found, or without logind).
  const std::string& sessionPath() const { return sessionPath_; }

 private:
  enum class SessionLookup { ById, UserDisplay, ByProcess };
  static void busReady(GObject*, GAsyncResult* result, gpointer self);
  static void ownerReady(GObject* bus, GAsyncResult* result, gpointer self);
  static void sessionReady(GObject* bus, GAsyncResult* result, gpointer self);
  static void inhibitReady(GObject* bus, GAsyncResult* result, gpointer self);
  static void logindSignal(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                           const gchar* signal, GVariant* parameters, gpointer self);
  static void presenceSignal(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                             const gchar*, GVariant* parameters, gpointer self);
  static void sessionBusReady(GObject*, GAsyncResult* result, gpointer self);
  static void sessionManagerAppeared(GDBusConnection* bus, const gchar*, const gchar* owner,
                                     gpointer self);
  static void sessionManagerVanished(GDBusConnection*, const gchar*, gpointer self);
  static void sessionManagerCredentials(GObject* bus, GAsyncResult* result, gpointer data);
  void call(const char* path, const char* interface, const char* method, GVariant* parameters,
            const GVariantType* replyType, GAsyncReadyCallback done);
  void lookUpSession(SessionLookup step);
  void requestInhibitor();
  void subscribe();
  void unsubscribe();
  void unsubscribePresence();

  GCancellable* cancellable_;
  GDBusConnection* bus_ = nullptr;
  GDBusConnection* sessionBus_ = nullptr;
  std::string logindOwner_;
  // gnome-session's connection, once the owner of its name is known to be it.
  std::string sessionManager_;
  guint sessionManagerWatch_ = 0;
  std::string sessionPath_;
  SessionLookup lookup_ = SessionLookup::ById;
  bool wantInhibitor_ = false;
  bool inhibitPending_ = false;
  bool inhibitWithRebootKey_ = true;
  int inhibitor_ = -1;
  ScreenLockerListener* listener_ = nullptr;
  guint lockSubscription_ = 0;
  guint sleepSubscription_ = 0;
  guint presenceSubscription_ = 0;
  DisplayLockerSigns* displaySigns_;
};

}  // namespace hushpad::linux
