#include "input/input_permission_controller.h"

#include <vector>

namespace hushpad {
namespace {

constexpr const char* kPermissionsAlertInformativeText =
    "Hushpad needs both Accessibility and Input Monitoring to block keyboard, clicks, scrolls, "
    "and gestures. Enable the missing permission, then quit and reopen Hushpad if macOS does not "
    "apply it immediately.";

enum PermissionsAlertButton : std::size_t { kOpenInputMonitoring = 0, kOpenAccessibility = 1 };

struct Grants {
  bool accessibility;
  bool inputMonitoring;
  bool all() const { return accessibility && inputMonitoring; }
};

// An OS with nothing to grant holds every grant there is.
Grants testGrants(PrivacyAccess& privacy) {
  const InputAccess access = privacy.inputAccess();
  if (!access.hasPrivilegesToGrant) return {true, true};
  return {access.accessibilityTrusted, access.inputMonitoringGranted};
}

// "Hushpad needs Accessibility", "Hushpad needs Input Monitoring" or "Hushpad needs
// Accessibility and Input Monitoring".
std::string permissionsAlertTitle(Grants grants) {
  std::vector<std::string> missing;
  if (!grants.accessibility) missing.emplace_back("Accessibility");
  if (!grants.inputMonitoring) missing.emplace_back("Input Monitoring");
  std::string title = "Hushpad needs ";
  for (std::size_t i = 0; i < missing.size(); ++i) {
    if (i > 0) title += " and ";
    title += missing[i];
  }
  return title;
}

}  // namespace

InputPermissionController::InputPermissionController(PrivacyAccess& privacy, AlertPresenter& alerts,
                                                     Workspace& workspace)
    : privacy_(privacy), alerts_(alerts), workspace_(workspace) {}

bool InputPermissionController::requestMissingPermissionsIfNeeded() {
  const Grants first = testGrants(privacy_);
  if (first.all()) return true;
  if (!first.accessibility) privacy_.promptForAccessibility();
  if (!first.inputMonitoring) privacy_.requestInputMonitoring();

  const Grants second = testGrants(privacy_);
  if (second.all()) return true;

  const AlertContent alert{permissionsAlertTitle(second),
                           kPermissionsAlertInformativeText,
                           {"Open Input Monitoring", "Open Accessibility", "Cancel"}};
  const std::optional<std::size_t> answer = alerts_.runModal(alert);
  if (answer == kOpenInputMonitoring) openPrivacyPane(kInputMonitoringPaneAnchor);
  if (answer == kOpenAccessibility) openPrivacyPane(kAccessibilityPaneAnchor);
  return false;
}

void InputPermissionController::openPrivacyPane(const std::string& anchor) {
  workspace_.openURL(kPrivacyPaneURLPrefix + anchor);
}

}  // namespace hushpad
