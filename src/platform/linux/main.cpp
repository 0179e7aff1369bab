// Hushpad on a Linux desktop: on X11, a StatusNotifierItem or an XEmbed tray icon.

#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

#include "app/app_delegate.h"
#include "artwork/legibility.h"
#include "platform/linux/alert.h"
#include "platform/linux/application.h"
#include "platform/linux/command_line.h"
#include "platform/linux/desktop_status_bar.h"
#include "platform/linux/sni/status_notifier_item.h"
#include "platform/linux/x11/event_tap.h"
#include "platform/linux/x11/instance.h"
#include "platform/linux/user_defaults.h"
#include "platform/linux/workspace.h"
#include "platform/linux/preference_store.h"
#include "platform/linux/x11/screens.h"
#include "platform/linux/x11/tray_icon.h"
#include "platform/linux/x11/unlock_mark.h"
#include "platform/linux/image.h"
#include "platform/linux/x11/keyboard.h"
#include "platform/linux/login_session.h"
#include "platform/linux/notifications.h"
#include "platform/linux/x11/privacy.h"

int main(int argc, char** argv) {
  using namespace hushpad;
  using namespace hushpad::linux;
  // The tray icon and the grabs are X11's; under Wayland this runs through XWayland.
  gdk_set_allowed_backends("x11");
  // Nothing here draws with OpenGL; probing it for visuals would load a GL
  // driver and triple the memory in use. A GDK_GL set by the user still counts.
  g_setenv("GDK_GL", "disable", FALSE);
  // --help, --version or a mistake end here, before the display is opened.
  CommandLineOptions options;
  if (const std::optional<int> status = parseCommandLine(argc, argv, options)) return *status;
  if (!gtk_init_check(&argc, &argv)) {
    std::fputs("Hushpad needs an X11 display: DISPLAY is not set or cannot be opened.\n", stderr);
    return EXIT_FAILURE;
  }
  // A second Hushpad would restore the first one's backup at launch and fight
  // it for the tray: it leaves before touching anything.
  if (!claimDisplay(gdk_display_get_default())) {
    std::fputs("Hushpad is already running in this X session.\n", stderr);
    return EXIT_SUCCESS;
  }
  MonitorScreens screens(gdk_display_get_default());
  LinuxApplication application;
  // A StatusNotifierItem where the panel hosts one, else an XEmbed tray icon.
  DesktopStatusBar::MakeNotifierItem notifierItem;
  if (!options.xembedIcon) {
    notifierItem = [&](GDBusConnection* bus, std::function<void(bool)> registered) {
      return std::make_unique<StatusNotifierButton>(bus, application, legibleMarkColor,
                                                    std::move(registered));
    };
  }
  DesktopStatusBar statusBar(
      [&] { return std::make_unique<TrayStatusButton>(application, screens, legibleMarkColor); },
      std::move(notifierItem));
  RecordingImageFactory images;
  GrabEventTapFactory eventTaps(screens,
                                [&statusBar](MouseEventType type) { statusBar.deliverMouseUp(type); });
  // An XWayland grab holds no Wayland client: refused as a Wayland session is.
  X11InputAccess privacy(
      isWaylandSession(std::getenv("XDG_SESSION_TYPE"), std::getenv("WAYLAND_DISPLAY")) ||
      isXWaylandServer(gdk_display_get_default()));
  GtkAlertPresenter alerts;
  DesktopWorkspace workspace;
  GSettingsPreferenceStore preferences;
  FileUserDefaults userDefaults(FileUserDefaults::defaultDirectory());
  GSettingsNotifications notifications;
  GLibMainQueue mainQueue;
  NoReviewPrompt reviewPrompt;
  LogindSession session(gdk_display_get_default());
  OverlayUnlockMark unlockMark(screens,
                               [&statusBar](MouseEventType type) { statusBar.deliverMouseUp(type); });
  XkbKeyboardState keyboard(gdk_display_get_default());
  Platform platform{.application = application,
                    .statusBar = statusBar,
                    .images = images,
                    .input = {.eventTaps = eventTaps,
                              .screens = screens,
                              .alerts = alerts,
                              .workspace = workspace,
                              .privacy = privacy,
                              .mainQueue = mainQueue,
                              .unlockMark = unlockMark,
                              .session = &session,
                              .keyboard = &keyboard},
                    .preferences = preferences,
                    .userDefaults = userDefaults,
                    .notifications = notifications,
                    .reviewPrompt = reviewPrompt,
                    .makeGestureOverrides = [] { return touchpadOverrides(); },
                    .wording = {.inputDevice = "touchpad",
                                .sessionThatCannotBeHeld = "a Wayland session",
                                .sessionThatCanBeHeld =
                                    "an X11 session (for example \"GNOME on Xorg\")",
                                .whyTheIconIsHidden =
                                    "there is no system tray, or it has not shown the icon yet",
                                .howToShowTheIcon = "start a system tray"}};
  return runHushpad(platform);
}
