#pragma once
// Objective-C++ only. The lock and unlock requests from outside the status
// item on macOS: the hushpad URL scheme (`open hushpad://lock`, from Shortcuts
// or a launcher), the executable's --lock and --unlock (a second process,
// which tells the running one through a distributed notification), and a
// global hot key registered with RegisterEventHotKey, which needs no privilege.
// Main thread only.

#import <Foundation/Foundation.h>

#include <optional>
#include <vector>

#include "platform/remote_requests.h"

@class HushpadURLHandler;

namespace hushpad::macos {

// What `Hushpad --lock` (lock true) or `--unlock` does from a terminal: tells
// the running Hushpad and returns the exit status, having said on stderr why
// it is not 0. Never starts Hushpad.
int sendLockCommand(bool lock);

class AppKitRemoteRequests final : public RemoteRequests {
 public:
  // Hears the URL at once, so that the one that launched the program is not
  // missed: requests that come before listen() wait for it.
  AppKitRemoteRequests();
  ~AppKitRemoteRequests() override;
  AppKitRemoteRequests(const AppKitRemoteRequests&) = delete;
  AppKitRemoteRequests& operator=(const AppKitRemoteRequests&) = delete;

  void listen(ActionTarget* target, const KeyShortcut& preferred) override;
  void stopListening() override;
  // The hot key, once the system has registered it.
  std::optional<KeyShortcut> grantedShortcut() const override { return granted_; }

  void send(Action action);

 private:
  void installURLHandler();
  void registerHotKey(const KeyShortcut& shortcut);
  void unregisterHotKey();

  ActionTarget* target_ = nullptr;
  bool stopped_ = false;
  std::vector<Action> waiting_;
  HushpadURLHandler* urlHandler_ = nil;
  id notificationObservers_[2] = {nil, nil};
  std::optional<KeyShortcut> granted_;
  void* hotKey_ = nullptr;         // EventHotKeyRef
  void* hotKeyHandler_ = nullptr;  // EventHandlerRef
};

}  // namespace hushpad::macos
