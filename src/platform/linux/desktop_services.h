#pragma once
// The small services of a GTK desktop: modal alerts, opening URLs, privileges
// and session-wide notifications.

#include <string>

#include "platform/alert.h"
#include "platform/notifications.h"
#include "platform/privacy.h"
#include "platform/workspace.h"

namespace hushpad {

// A modal GTK message dialog with the buttons in the given order.
class GtkAlertPresenter final : public AlertPresenter {
 public:
  std::optional<std::size_t> runModal(const AlertContent& alert) override;
};

// Opens URLs in the user's preferred application. macOS System Settings panes
// ("x-apple." schemes) have nothing to open here.
class DesktopWorkspace final : public Workspace {
 public:
  bool openURL(const std::string& url) override;
};

// Under X11 any client may grab the input: there is no privilege to ask for.
class X11PrivacyAccess final : public PrivacyAccess {
 public:
  bool isAccessibilityTrusted() override { return true; }
  void promptForAccessibility() override {}
  bool isInputMonitoringGranted() override { return true; }
  void requestInputMonitoring() override {}
};

// GSettings tells every listener about a change by itself.
class GSettingsNotifications final : public DistributedNotifications {
 public:
  void post(const std::string&) override {}
};

}  // namespace hushpad
