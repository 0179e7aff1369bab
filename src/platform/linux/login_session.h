#pragma once
// The login session on a Linux desktop: logind's inhibitor for the power,
// suspend and hibernate keys, which logind reads from the kernel past any X
// grab. Main thread only; the entry point owns it.

#include <gio/gio.h>

#include "platform/session.h"

namespace hushpad::linux {

class LogindSession final : public LoginSession {
 public:
  LogindSession() = default;
  ~LogindSession() override;
  LogindSession(const LogindSession&) = delete;
  LogindSession& operator=(const LogindSession&) = delete;

  // A "block" inhibitor of handle-power-key, handle-suspend-key and
  // handle-hibernate-key, on the system bus that DBUS_SYSTEM_BUS_ADDRESS names
  // (the usual one by default). The kernel closes it with the process.
  void holdPowerKeys() override;
  void releasePowerKeys() override;
  void watchScreenLockers(ScreenLockerListener* listener) override;

 private:
  // Connected on first use; nothing where there is no system bus.
  GDBusConnection* systemBus();

  GDBusConnection* bus_ = nullptr;
  int inhibitor_ = -1;
  ScreenLockerListener* listener_ = nullptr;
};

}  // namespace hushpad::linux
