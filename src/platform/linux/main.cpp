// Hushpad on a Linux desktop. On a Wayland compositor with the layer-shell
// (KDE Plasma, sway, Hyprland...), a native Wayland client whose lock covers
// every output and whose item is a StatusNotifierItem; elsewhere an X11 client
// (through XWayland in other Wayland sessions, where it refuses to lock), whose
// item is a StatusNotifierItem or an XEmbed tray icon.

#include <gtk-layer-shell/gtk-layer-shell.h>
#include <gtk/gtk.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

#include "app/app_delegate.h"
#include "artwork/legibility.h"
#include "gestures/trackpad_gesture_lock.h"
#include "platform/linux/alert.h"
#include "platform/linux/autostart.h"
#include "platform/linux/application.h"
#include "platform/linux/command_line.h"
#include "platform/linux/desktop_status_bar.h"
#include "platform/linux/gnome/shell_layer.h"
#include "platform/linux/gnome/shell_link.h"
#include "platform/linux/image.h"
#include "platform/linux/kwin_touchpads.h"
#include "platform/linux/login_session.h"
#include "platform/linux/notifications.h"
#include "platform/linux/preference_store.h"
#include "platform/linux/remote_requests.h"
#include "platform/linux/screens.h"
#include "platform/linux/sni/status_notifier_item.h"
#include "platform/linux/user_defaults.h"
#include "platform/linux/watchdog.h"
#include "platform/linux/wayland/compositor.h"
#include "platform/linux/wayland/instance.h"
#include "platform/linux/wayland/overlay.h"
#include "platform/linux/workspace.h"
#include "platform/linux/x11/event_tap.h"
#include "platform/linux/x11/instance.h"
#include "platform/linux/x11/keyboard.h"
#include "platform/linux/x11/privacy.h"
#include "platform/linux/x11/screen_lockers.h"
#include "platform/linux/x11/tray_icon.h"
#include "platform/linux/x11/unlock_mark.h"

namespace hushpad::linux {
namespace {

// The session bus, or nothing without one; owned by the caller.
GDBusConnection* sessionBus() { return g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr); }

// KWin's own touchpad settings beside GSettings' (which GNOME, Cinnamon and
// MATE read), whatever the display server: a backup written under Plasma's
// Wayland session may be restored by the X11 program, and KWin runs Plasma's
// X11 session too.
struct TouchpadSettings {
  GSettingsPreferenceStore settings;
  KWinTouchpadStore kwin;
  RoutingPreferenceStore routing{settings, kwin};
  explicit TouchpadSettings(GDBusConnection* bus) : kwin(bus) {
    if (bus != nullptr) g_object_unref(bus);
  }
  std::vector<PreferenceOverride> overrides() {
    std::vector<PreferenceOverride> rows = touchpadOverrides();
    for (PreferenceOverride& kwinRow : kwin.touchpadOverrides()) rows.push_back(std::move(kwinRow));
    return rows;
  }
};

// What every Linux desktop shares, around what the display server brings.
struct SharedServices {
  LinuxApplication application;
  RecordingImageFactory images;
  GtkAlertPresenter alerts;
  DesktopWorkspace workspace;
  TouchpadSettings touchpads{sessionBus()};
  FileUserDefaults userDefaults{FileUserDefaults::defaultDirectory()};
  GSettingsNotifications notifications;
  GLibMainQueue mainQueue;
  NoReviewPrompt reviewPrompt;
  // The lock command, the portal's shortcut, and the autostart entry.
  ApplicationRequests remoteRequests;
  XdgAutostartItem autostart{XdgAutostartItem::autostartFolder(),
                             XdgAutostartItem::ownExecutable()};
};

// The commands reach the one Hushpad of this session bus: a second one, on
// another display of the same session, would share its settings and its
// backup too, and leaves before touching them. Without a session bus it runs
// without the commands.
bool claimSessionBus(SharedServices& shared) {
  if (shared.remoteRequests.registerOnSessionBus() !=
      ApplicationRequests::Registration::AlreadyTaken) {
    return true;
  }
  std::fputs("Hushpad is already running in this session.\n", stderr);
  return false;
}

struct DisplayServices {
  StatusBar& statusBar;
  EventTapFactory& eventTaps;
  Screens& screens;
  PrivacyAccess& privacy;
  UnlockMarkWindow& unlockMark;
  LoginSession* session;
  KeyboardStateAccess* keyboard;
};

constexpr const char* kSessionsThatCanBeHeld =
    "an X11 session (for example \"GNOME on Xorg\"), or a Wayland desktop whose compositor has "
    "the layer-shell (KDE Plasma, sway, Hyprland, labwc, Wayfire, river, niri, COSMIC)";

int run(SharedServices& shared, const DisplayServices& display) {
  Platform platform{.application = shared.application,
                    .statusBar = display.statusBar,
                    .images = shared.images,
                    .input = {.eventTaps = display.eventTaps,
                              .screens = display.screens,
                              .alerts = shared.alerts,
                              .workspace = shared.workspace,
                              .privacy = display.privacy,
                              .mainQueue = shared.mainQueue,
                              .unlockMark = display.unlockMark,
                              .session = display.session,
                              .keyboard = display.keyboard},
                    .preferences = shared.touchpads.routing,
                    .userDefaults = shared.userDefaults,
                    .notifications = shared.notifications,
                    .reviewPrompt = shared.reviewPrompt,
                    .makeGestureOverrides = [&shared] { return shared.touchpads.overrides(); },
                    .wording = {.inputDevice = "touchpad",
                                .sessionThatCannotBeHeld =
                                    "a Wayland session whose compositor has no layer-shell "
                                    "(GNOME, Weston)",
                                .sessionThatCanBeHeld = kSessionsThatCanBeHeld,
                                .whyTheIconIsHidden =
                                    "there is no system tray, or it has not shown the icon yet",
                                .howToShowTheIcon = "start a system tray"},
                    .remoteRequests = &shared.remoteRequests,
                    .loginItem = &shared.autostart};
  return runHushpad(platform);
}

// No host says what its panel looks like: the mark takes the colour a
// symbolic icon would, with a halo that reads where that colour does not.
DesktopStatusBar::MakeNotifierItem notifierItems() {
  return [](GDBusConnection* bus, std::function<void(bool)> registered) {
    return std::make_unique<StatusNotifierButton>(
        bus, [](Color theme) { return std::pair{theme, haloColorFor(theme)}; },
        std::move(registered));
  };
}

int runOnX11(const CommandLineOptions& options, const RestartCommand& restart) {
  GdkDisplay* gdkDisplay = gdk_display_get_default();
  // A second Hushpad would restore the first one's backup at launch and fight
  // it for the tray: it leaves before touching anything.
  if (!claimDisplay(gdkDisplay)) {
    std::fputs("Hushpad is already running in this X session.\n", stderr);
    return EXIT_SUCCESS;
  }
  // Under XWayland the Wayland display is claimed too: a Wayland Hushpad of
  // the same session keeps the same backup.
  if (std::getenv("WAYLAND_DISPLAY") != nullptr && !claimWaylandDisplay()) {
    std::fputs("Hushpad is already running on this Wayland display.\n", stderr);
    return EXIT_SUCCESS;
  }
  SharedServices shared;
  if (!claimSessionBus(shared)) return EXIT_SUCCESS;
  MonitorScreens screens(gdkDisplay);
  // A StatusNotifierItem where the panel hosts one, else an XEmbed tray icon.
  DesktopStatusBar statusBar(
      shared.application, shared.mainQueue,
      [&] {
        return std::make_unique<TrayStatusButton>(screens, legibleMarkColor);
      },
      options.xembedIcon ? nullptr : notifierItems());
  const auto deliver = [&statusBar](MouseEventType type) { statusBar.deliverMouseUp(type); };
  GrabEventTapFactory eventTaps(screens, deliver, &restart);
  // An XWayland grab holds no Wayland client: refused as a Wayland session is.
  X11InputAccess privacy(
      isWaylandSession(std::getenv("XDG_SESSION_TYPE"), std::getenv("WAYLAND_DISPLAY")) ||
      isXWaylandServer(gdkDisplay));
  XScreenLockerWatch lockerSigns(gdkDisplay);
  LogindSession session(&lockerSigns);
  OverlayUnlockMark unlockMark(screens, deliver);
  XkbKeyboardState keyboard(gdkDisplay);
  return run(shared, {statusBar, eventTaps, screens, privacy, unlockMark, &session, &keyboard});
}

int runOnWayland(const RestartCommand& restart) {
  if (!claimWaylandDisplay()) {
    std::fputs("Hushpad is already running on this Wayland display.\n", stderr);
    return EXIT_SUCCESS;
  }
  GdkDisplay* gdkDisplay = gdk_display_get_default();
  SharedServices shared;
  if (!claimSessionBus(shared)) return EXIT_SUCCESS;
  MonitorScreens monitors(gdkDisplay);
  WaylandOverlay overlay(gdkDisplay, monitors, &restart);
  OverlayScreens screens(monitors, overlay);
  // There is no XEmbed on Wayland: the item shows where a panel hosts
  // StatusNotifierItems, and only there.
  DesktopStatusBar statusBar(
      shared.application, shared.mainQueue,
      []() -> std::unique_ptr<TrayKindButton> { return nullptr; }, notifierItems());
  const auto deliver = [&statusBar](MouseEventType type) { statusBar.deliverMouseUp(type); };
  OverlayEventTapFactory eventTaps(overlay, deliver);
  LayerShellInputAccess privacy(gtk_layer_is_supported());
  // The cover itself tells when another program took the input from it.
  LogindSession session(&overlay);
  CoverUnlockMark unlockMark(overlay, monitors);
  return run(shared, {statusBar, eventTaps, screens, privacy, unlockMark, &session, nullptr});
}

// A start that goes no further still puts back what a run that ended while
// locked left switched off (and keeps what cannot go back yet).
void restoreSettingsLeftLocked() {
  TouchpadSettings touchpads{sessionBus()};
  FileUserDefaults userDefaults{FileUserDefaults::defaultDirectory()};
  GSettingsNotifications notifications;
  TrackpadGestureLock gestures(kGestureBackupDefaultsKey, touchpads.overrides(), touchpads.routing,
                               userDefaults, notifications);
  static_cast<void>(gestures.unlock());
}

// On GNOME Shell with Hushpad's extension: the extension shows the item and
// holds the input; the display is GTK's only for alerts.
int runOnGnomeShell(ShellLink& link) {
  SharedServices shared;
  // The lock command's actions, on the connection and name the link holds.
  if (!claimSessionBus(shared)) return EXIT_SUCCESS;
  // The top bar's text is white on every GNOME Shell theme the extension loads in.
  ShellStatusBar statusBar(link, shared.application, shared.mainQueue, GdkRGBA{1, 1, 1, 1});
  ShellEventTaps eventTaps(link,
                           [&statusBar](MouseEventType type) { statusBar.deliverMouseUp(type); });
  ShellScreens screens(link);
  ShellUnlockMark unlockMark(link);
  ShellInputAccess privacy;
  ShellLockerSigns shield;
  LogindSession session(&shield);
  // Under GNOME on Xorg the keyboard's own state (Caps Lock, sticky keys...)
  // is read and put back as on any X11 desktop.
  GdkDisplay* gdkDisplay = gdk_display_get_default();
  std::optional<XkbKeyboardState> keyboard;
  if (isX11Display(gdkDisplay)) keyboard.emplace(gdkDisplay);
  link.setHandlers(
      {.itemReleased = [&statusBar](unsigned button) { statusBar.itemReleased(button); },
       .coverReleased = [&eventTaps](unsigned button,
                                     Point pixel) { eventTaps.coverReleased(button, pixel); },
       .menuActivated = [&statusBar](unsigned index) { statusBar.menuActivated(index); },
       .monitorsChanged = [&screens] { screens.changed(); },
       // The Shell's screen shield holds the input for a while; anything else
       // that let go ends the lock.
       .letGo =
           [&eventTaps, &shield](ShellLetGo reason) {
             if (reason == ShellLetGo::ScreenShield) {
               shield.shieldUp();
             } else {
               eventTaps.letGo();
             }
           },
       .returned = [&shield] { shield.shieldDown(); }});
  const int status = run(shared, {statusBar, eventTaps, screens, privacy, unlockMark, &session,
                                  keyboard ? &*keyboard : nullptr});
  link.setHandlers({});
  return status;
}

}  // namespace
}  // namespace hushpad::linux

int main(int argc, char** argv) {
  using namespace hushpad::linux;
  // As started, before anything changes the arguments or the environment: a
  // Hushpad killed for a stall is started again this way.
  const RestartCommand restart(argc, argv, environ);
  // Nothing here draws with OpenGL; probing it for visuals would load a GL
  // driver and triple the memory in use. A GDK_GL set by the user still counts.
  g_setenv("GDK_GL", "disable", FALSE);
  // --help, --version or a mistake end here, before the display is opened.
  CommandLineOptions options;
  if (const std::optional<int> status = parseCommandLine(argc, argv, options)) return *status;
  // --lock and --unlock talk to the running Hushpad over the session bus and
  // open no display: they work from ssh, and start nothing.
  if (options.command != CommandLineOptions::Command::Start) {
    return sendLockCommand(options.command == CommandLineOptions::Command::Lock);
  }
  // On GNOME, Hushpad's own Shell extension shows the item and holds the
  // input, on Wayland and X11 alike.
  std::unique_ptr<ShellLink> shellLink;
  if (!options.xembedIcon && isGnomeDesktop(std::getenv("XDG_CURRENT_DESKTOP"))) {
    if (GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr)) {
      shellLink = std::make_unique<ShellLink>(bus);
      g_object_unref(bus);
      switch (shellLink->start()) {
        case ShellLink::Start::Linked:
          break;
        case ShellLink::Start::NameTaken:
          std::fputs("Hushpad is already running in this session.\n", stderr);
          return EXIT_SUCCESS;
        case ShellLink::Start::NoExtension:
          // No Wayland client can hold GNOME's input: without the extension
          // the user is told how to enable it, rather than refused.
          if (isWaylandSession(std::getenv("XDG_SESSION_TYPE"), std::getenv("WAYLAND_DISPLAY"))) {
            std::fputs(gnomeExtensionAdvice(shellLink->shellMajorVersion()).c_str(), stderr);
            restoreSettingsLeftLocked();
            return EXIT_FAILURE;
          }
          shellLink.reset();
          break;
      }
    }
  }
  if (shellLink) {
    if (!gtk_init_check(&argc, &argv)) {
      std::fputs("Hushpad could not open the display.\n", stderr);
      return EXIT_FAILURE;
    }
    return runOnGnomeShell(*shellLink);
  }
  // A compositor without the layer-shell gets the X11 program, which says it
  // cannot lock there.
  const bool wayland = !options.xembedIcon && compositorOffersLayerShell();
  gdk_set_allowed_backends(wayland ? "wayland" : "x11");
  if (!gtk_init_check(&argc, &argv)) {
    std::fputs(wayland ? "Hushpad could not open the Wayland display.\n"
                       : "Hushpad needs an X11 display: DISPLAY is not set or cannot be opened.\n",
               stderr);
    return EXIT_FAILURE;
  }
  return wayland ? runOnWayland(restart) : runOnX11(options, restart);
}
