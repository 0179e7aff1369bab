#pragma once
// Everything the application needs from an OS, gathered for its entry point.

#include <functional>
#include <optional>
#include <vector>

#include "gestures/preference_records.h"
#include "platform/alert.h"
#include "platform/application.h"
#include "platform/event_tap.h"
#include "platform/image.h"
#include "platform/notifications.h"
#include "platform/preference_store.h"
#include "platform/privacy.h"
#include "platform/screens.h"
#include "platform/status_item.h"
#include "platform/user_defaults.h"
#include "platform/workspace.h"

namespace hushpad {

struct Platform {
  Application& application;
  StatusBar& statusBar;
  ImageFactory& images;
  EventTapFactory& eventTaps;
  Screens& screens;
  PrivacyAccess& privacy;
  AlertPresenter& alerts;
  Workspace& workspace;
  PreferenceStore& preferences;
  UserDefaults& userDefaults;
  DistributedNotifications& notifications;
  MainQueue& mainQueue;
  ReviewPrompt& reviewPrompt;
  // Builds the table of preferences the gesture lock switches off; called once,
  // when the lock controller is made.
  std::function<std::vector<PreferenceOverride>()> makeGestureOverrides;
  // How this OS explains a refused event tap, where the macOS wording (privacy
  // settings) does not apply. Its first button still asks for the settings.
  std::optional<AlertContent> tapRefusedAlert;
};

}  // namespace hushpad
