#pragma once
// Everything the application needs from an OS, gathered by its entry point,
// which owns every service for the life of the process; main thread only.

#include <functional>
#include <vector>

#include "gestures/preference_records.h"
#include "input/input_lock_controller.h"
#include "platform/application.h"
#include "platform/image.h"
#include "platform/notifications.h"
#include "platform/preference_store.h"
#include "platform/remote_requests.h"
#include "platform/status_item.h"
#include "platform/user_defaults.h"
#include "platform/wording.h"

namespace hushpad {

struct Platform {
  Application& application;
  StatusBar& statusBar;
  ImageFactory& images;
  InputLockServices input;
  PreferenceStore& preferences;
  UserDefaults& userDefaults;
  DistributedNotifications& notifications;
  ReviewPrompt& reviewPrompt;
  // Builds the table of preferences the gesture lock switches off; called when
  // the lock controller is made, at each lock and when the preference store
  // says its preferences changed (a touchpad plugged in or taken away).
  std::function<std::vector<PreferenceOverride>()> makeGestureOverrides;
  PlatformWording wording = {};
  // The lock and unlock commands and the shortcut; nothing where there are none.
  RemoteRequests* remoteRequests = nullptr;
  // Starting with the session; nothing where the OS offers no way.
  LoginItem* loginItem = nullptr;
};

}  // namespace hushpad
