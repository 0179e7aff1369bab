// Hushpad on a Linux desktop: a tray icon on X11.

#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>

#include "app/app_delegate.h"
#include "platform/linux/application.h"
#include "platform/linux/desktop_services.h"
#include "platform/linux/event_tap.h"
#include "platform/linux/file_user_defaults.h"
#include "platform/linux/gsettings_store.h"
#include "platform/linux/screens.h"
#include "platform/linux/status_icon.h"
#include "platform/linux/tray_image.h"

int main(int argc, char** argv) {
  using namespace hushpad;
  // The tray icon and the grabs are X11's; under Wayland this runs through XWayland.
  gdk_set_allowed_backends("x11");
  // Nothing here draws with OpenGL; probing it for visuals would load a GL
  // driver and triple the memory in use. A GDK_GL set by the user still counts.
  g_setenv("GDK_GL", "disable", FALSE);
  if (!gtk_init_check(&argc, &argv)) {
    std::fputs("Hushpad needs an X11 display: DISPLAY is not set or cannot be opened.\n", stderr);
    return EXIT_FAILURE;
  }
  MonitorScreens screens(gdk_display_get_default());
  LinuxApplication application;
  TrayStatusBar statusBar(application, screens);
  RecordingImageFactory images;
  const bool waylandSession =
      isWaylandSession(std::getenv("XDG_SESSION_TYPE"), std::getenv("WAYLAND_DISPLAY"));
  GrabEventTapFactory eventTaps(
      screens,
      [&statusBar](MouseEventType type, double rootX, double rootY) {
        statusBar.deliverMouseUp(type, rootX, rootY);
      },
      waylandSession);
  X11PrivacyAccess privacy;
  GtkAlertPresenter alerts;
  DesktopWorkspace workspace;
  GSettingsPreferenceStore preferences;
  FileUserDefaults userDefaults(FileUserDefaults::defaultDirectory());
  GSettingsNotifications notifications;
  GLibMainQueue mainQueue;
  NoReviewPrompt reviewPrompt;
  Platform platform{.application = application,
                    .statusBar = statusBar,
                    .images = images,
                    .eventTaps = eventTaps,
                    .screens = screens,
                    .privacy = privacy,
                    .alerts = alerts,
                    .workspace = workspace,
                    .preferences = preferences,
                    .userDefaults = userDefaults,
                    .notifications = notifications,
                    .mainQueue = mainQueue,
                    .reviewPrompt = reviewPrompt,
                    .makeGestureOverrides = [] { return touchpadOverrides(); },
                    .tapRefusedAlert = std::nullopt};
  if (waylandSession) {
    platform.tapRefusedAlert = AlertContent{
        "Hushpad cannot lock the input here",
        "This is a Wayland session, where one program cannot hold the keyboard and pointer of "
        "the others. Log in to an X11 session (for example \"GNOME on Xorg\") to use Hushpad.",
        {"OK"}};
  }
  return runHushpad(platform);
}
