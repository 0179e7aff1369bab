// The privilege checks before a lock, the system's prompts, the alerts and the
// privacy panes they open.

#include "input/input_permission_controller.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "input_rig.h"

namespace hushpad {
namespace {

using Strings = std::vector<std::string>;

const std::string kInputMonitoringPane =
    "x-apple.systempreferences:com.apple.preference.security?Privacy_ListenEvent";
const std::string kAccessibilityPane =
    "x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility";

class PermissionTest : public ::testing::Test {
 protected:
  fakes::FakePrivacyAccess privacy;
  fakes::FakeAlertPresenter alerts;
  fakes::FakeWorkspace workspace;
  InputPermissionController permissions{privacy, alerts, workspace};
};

struct GrantCase {
  std::string name;
  bool accessibility;
  bool inputMonitoring;
  std::optional<bool> accessibilityAfterPrompt;
  std::optional<bool> inputMonitoringAfterRequest;
  Strings requests;                  // what the system is asked for, in order
  std::optional<std::string> title;  // of the permissions alert; nothing: no alert
};

class PermissionGrants : public PermissionTest, public ::testing::WithParamInterface<GrantCase> {};

TEST_P(PermissionGrants, PromptsForWhatIsMissingAndAlertsOnlyIfStillMissing) {
  const GrantCase& c = GetParam();
  privacy.accessibilityTrusted = c.accessibility;
  privacy.inputMonitoringGranted = c.inputMonitoring;
  privacy.accessibilityAfterPrompt = c.accessibilityAfterPrompt;
  privacy.inputMonitoringAfterRequest = c.inputMonitoringAfterRequest;

  const bool granted = permissions.requestMissingPermissionsIfNeeded();

  EXPECT_EQ(granted, !c.title.has_value());
  EXPECT_EQ(privacy.requests(), c.requests);
  if (c.title) {
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0].title, *c.title);
  } else {
    EXPECT_TRUE(alerts.shown.empty());
  }
  EXPECT_TRUE(workspace.requested.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PermissionGrants,
    ::testing::Values(
        GrantCase{"BothGranted", true, true, {}, {}, {}, std::nullopt},
        GrantCase{"OnlyAccessibilityMissing", false, true, {}, {},
                  {"promptForAccessibility"}, "Hushpad needs Accessibility"},
        GrantCase{"OnlyInputMonitoringMissing", true, false, {}, {},
                  {"requestInputMonitoring"}, "Hushpad needs Input Monitoring"},
        GrantCase{"BothMissing", false, false, {}, {},
                  {"promptForAccessibility", "requestInputMonitoring"},
                  "Hushpad needs Accessibility and Input Monitoring"},
        GrantCase{"AccessibilityGrantedAtThePrompt", false, true, true, {},
                  {"promptForAccessibility"}, std::nullopt},
        GrantCase{"BothGrantedAtTheSecondTest", false, false, true, true,
                  {"promptForAccessibility", "requestInputMonitoring"}, std::nullopt},
        GrantCase{"OnlyAccessibilityGrantedOfBoth", false, false, true, {},
                  {"promptForAccessibility", "requestInputMonitoring"},
                  "Hushpad needs Input Monitoring"}),
    [](const auto& info) { return info.param.name; });

TEST_F(PermissionTest, BothGrantedOnlyTests) {
  EXPECT_TRUE(permissions.requestMissingPermissionsIfNeeded());
  EXPECT_EQ(privacy.calls, (Strings{"isAccessibilityTrusted", "isInputMonitoringGranted"}));
}

TEST_F(PermissionTest, TestsAgainAfterThePromptsBeforeAlerting) {
  privacy.accessibilityTrusted = false;
  privacy.inputMonitoringGranted = false;
  permissions.requestMissingPermissionsIfNeeded();
  EXPECT_EQ(privacy.calls, (Strings{"isAccessibilityTrusted", "isInputMonitoringGranted",
                                    "promptForAccessibility", "requestInputMonitoring",
                                    "isAccessibilityTrusted", "isInputMonitoringGranted"}));
}

TEST_F(PermissionTest, PermissionsAlertHasItsTextAndThreeButtons) {
  privacy.inputMonitoringGranted = false;
  permissions.requestMissingPermissionsIfNeeded();
  ASSERT_EQ(alerts.shown.size(), 1u);
  EXPECT_EQ(alerts.shown[0],
            (AlertContent{"Hushpad needs Input Monitoring",
                          "Hushpad needs both Accessibility and Input Monitoring to block "
                          "keyboard, clicks, scrolls, and gestures. Enable the missing "
                          "permission, then quit and reopen Hushpad if macOS does not apply it "
                          "immediately.",
                          {"Open Input Monitoring", "Open Accessibility", "Cancel"}}));
}

struct ButtonCase {
  std::string name;
  std::optional<std::size_t> answer;
  Strings opened;
};

class PermissionsAlertButtons : public PermissionTest,
                                public ::testing::WithParamInterface<ButtonCase> {};

// Only Accessibility is missing, yet the buttons and their panes stay the same.
TEST_P(PermissionsAlertButtons, OpenTheirPaneAndTheLockAttemptFails) {
  privacy.accessibilityTrusted = false;
  alerts.answers = {GetParam().answer};
  EXPECT_FALSE(permissions.requestMissingPermissionsIfNeeded());
  EXPECT_EQ(workspace.opened, GetParam().opened);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, PermissionsAlertButtons,
    ::testing::Values(ButtonCase{"OpenInputMonitoring", 0, {kInputMonitoringPane}},
                      ButtonCase{"OpenAccessibility", 1, {kAccessibilityPane}},
                      ButtonCase{"Cancel", 2, {}},
                      ButtonCase{"UnknownButton", 7, {}},
                      ButtonCase{"Dismissed", std::nullopt, {}}),
    [](const auto& info) { return info.param.name; });

TEST_F(PermissionTest, AccessGrantedWhileTheAlertIsUpStillFailsThisAttempt) {
  privacy.accessibilityTrusted = false;
  alerts.whileShown = [&](const AlertContent&) { privacy.accessibilityTrusted = true; };
  EXPECT_FALSE(permissions.requestMissingPermissionsIfNeeded());
  EXPECT_TRUE(permissions.requestMissingPermissionsIfNeeded());
  EXPECT_EQ(alerts.shown.size(), 1u);
}

TEST_F(PermissionTest, EveryAttemptTestsAfresh) {
  privacy.inputMonitoringGranted = false;
  EXPECT_FALSE(permissions.requestMissingPermissionsIfNeeded());
  EXPECT_FALSE(permissions.requestMissingPermissionsIfNeeded());
  EXPECT_EQ(privacy.requests(), (Strings{"requestInputMonitoring", "requestInputMonitoring"}));
  EXPECT_EQ(alerts.shown.size(), 2u);
}

TEST_F(PermissionTest, PrivacyPaneIsThePrefixFollowedByTheAnchor) {
  permissions.openPrivacyPane("Privacy_ListenEvent");
  permissions.openPrivacyPane("");
  EXPECT_EQ(workspace.opened, (Strings{kInputMonitoringPane, kPrivacyPaneURLPrefix}));
}

TEST_F(PermissionTest, AnchorThatMakesNoURLOpensNothing) {
  permissions.openPrivacyPane("Privacy Accessibility");
  EXPECT_EQ(workspace.requested.size(), 1u);
  EXPECT_TRUE(workspace.opened.empty());
}

// The alert the lock controller shows when the system refuses the tap.
class TapRefusedAlert : public ::testing::Test {
 protected:
  inputtest::InputRig rig;
};

TEST_F(TapRefusedAlert, HasItsTextAndTwoButtons) {
  rig.controller.showPermissionsAlert();
  ASSERT_EQ(rig.alerts.shown.size(), 1u);
  EXPECT_EQ(rig.alerts.shown[0],
            (AlertContent{"Hushpad needs input permissions",
                          "macOS blocked the event tap. Open System Settings and allow this app "
                          "under Privacy & Security -> Accessibility and Input Monitoring, then "
                          "relaunch it.",
                          {"Open Settings", "Cancel"}}));
}

TEST_F(TapRefusedAlert, OpenSettingsOpensOnlyTheAccessibilityPane) {
  rig.alerts.answers = {0};
  rig.controller.showPermissionsAlert();
  EXPECT_EQ(rig.workspace.opened, (Strings{kAccessibilityPane}));
}

TEST_F(TapRefusedAlert, CancelOrDismissalOpensNothing) {
  rig.alerts.answers = {1, std::nullopt};
  rig.controller.showPermissionsAlert();
  rig.controller.showPermissionsAlert();
  EXPECT_TRUE(rig.workspace.requested.empty());
}

}  // namespace
}  // namespace hushpad
