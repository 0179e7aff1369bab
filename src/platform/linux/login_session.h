#pragma once
// The login session on a Linux desktop: logind's inhibitor for the power,
// suspend and hibernate keys, which logind reads from the kernel past any X
// grab, and the signs that a screen locker is about to take the screen. Main
// thread only; the entry point owns it.

#include <gio/gio.h>

#include <string>

#include "platform/linux/screen_lockers.h"
#include "platform/session.h"

namespace hushpad::linux {

class LogindSession final : public LoginSession {
 public:
  explicit LogindSession(GdkDisplay* display) : x_(display) {}
  ~LogindSession() override;
  LogindSession(const LogindSession&) = delete;
  LogindSession& operator=(const LogindSession&) = delete;

  // A "block" inhibitor of handle-power-key, handle-suspend-key,
  // handle-hibernate-key and handle-reboot-key, on the system bus that DBUS_SYSTEM_BUS_ADDRESS names
  // (the usual one by default). The kernel closes it with the process.
  void holdPowerKeys() override;
  void releasePowerKeys() override;
  // logind's Lock signal for this process's session (`loginctl lock-session`,
  // idle and lid actions, lockers that lock before sleep), its PrepareForSleep
  // signal, and the X server's signs (XScreenLockerWatch). logind's signals
  // count only from the connection that owns its name.
  void watchScreenLockers(ScreenLockerListener* listener) override;

 private:
  static void logindSignal(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                           const gchar* signal, GVariant* parameters, gpointer self);
  // Asks for the inhibitor of keys; false only when logind refused to hear of them.
  bool inhibit(GDBusConnection* bus, const char* keys);
  void subscribe();
  void unsubscribe();
  // This process's session object; empty outside a logind session.
  const std::string& sessionPath(GDBusConnection* bus);
  // The unique name that owns logind's name, asked once; empty without logind.
  const std::string& logindOwner(GDBusConnection* bus);

  // Connected on first use; nothing where there is no system bus.
  GDBusConnection* systemBus();

  GDBusConnection* bus_ = nullptr;
  int inhibitor_ = -1;
  ScreenLockerListener* listener_ = nullptr;
  std::string sessionPath_;
  std::string logindOwner_;
  guint lockSubscription_ = 0;
  guint sleepSubscription_ = 0;
  XScreenLockerWatch x_;
};

}  // namespace hushpad::linux
