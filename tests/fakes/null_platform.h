#pragma once
// The whole platform in memory: one of every fake, wired into a Platform. The
// preference, user-defaults, notification, application and review fakes share
// one CallLog, so a test can check the order of calls across them.

#include <memory>

#include "app/platform.h"
#include "fakes/fake_app.h"
#include "fakes/fake_input.h"
#include "fakes/fake_preferences.h"
#include "gestures/overrides_table.h"

namespace hushpad::fakes {

struct NullPlatform {
  NullPlatform() {
    preferences.log = userDefaults.log = notifications.log = application.log = reviewPrompt.log =
        log;
  }
  NullPlatform(const NullPlatform&) = delete;
  NullPlatform& operator=(const NullPlatform&) = delete;

  InputLockServices inputServices() {
    return {.eventTaps = eventTaps,
            .screens = screens,
            .alerts = alerts,
            .workspace = workspace,
            .privacy = privacy,
            .mainQueue = mainQueue,
            .session = &session};
  }
  Platform platform() {
    return {.application = application,
            .statusBar = statusBar,
            .images = images,
            .input = inputServices(),
            .preferences = preferences,
            .userDefaults = userDefaults,
            .notifications = notifications,
            .reviewPrompt = reviewPrompt,
            .makeGestureOverrides = makeTrackpadOverridesTable};
  }

  std::shared_ptr<CallLog> log = std::make_shared<CallLog>();
  FakeApplication application;
  FakeStatusBar statusBar;
  FakeImageFactory images;
  FakeEventTapFactory eventTaps;
  FakeScreens screens;
  FakePrivacyAccess privacy;
  FakeAlertPresenter alerts;
  FakeWorkspace workspace;
  FakePreferenceStore preferences;
  FakeUserDefaults userDefaults;
  FakeDistributedNotifications notifications;
  FakeMainQueue mainQueue;
  FakeLoginSession session;
  FakeReviewPrompt reviewPrompt;
};

}  // namespace hushpad::fakes
