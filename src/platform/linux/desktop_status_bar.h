#pragma once
// The status bar of a Linux desktop: the item is a StatusNotifierItem while the
// session has a host for one, else the display's own kind of tray icon (XEmbed
// on X11), and moves between the two as panels come and go. Main thread only.

#include <gio/gio.h>

#include <functional>
#include <memory>
#include <optional>

#include "platform/linux/sni/host_watch.h"
#include "platform/linux/switching_status_item.h"

namespace hushpad::linux {

class DesktopStatusBar final : public StatusBar {
 public:
  // The display's own tray icon; nullptr where the display has none.
  using MakeTrayIcon = std::function<std::unique_ptr<TrayKindButton>()>;
  // A StatusNotifierItem on bus, which tells whether the watcher took it;
  // none: the tray icon always.
  using MakeNotifierItem = std::function<std::unique_ptr<TrayKindButton>(
      GDBusConnection* bus, std::function<void(bool registered)> registered)>;

  DesktopStatusBar(LinuxApplication& application, MainQueue& queue, MakeTrayIcon makeTrayIcon,
                   MakeNotifierItem makeNotifierItem);
  ~DesktopStatusBar() override;
  DesktopStatusBar(const DesktopStatusBar&) = delete;
  DesktopStatusBar& operator=(const DesktopStatusBar&) = delete;

  // One item, which the host watch then moves between kinds.
  std::unique_ptr<StatusItem> statusItem(double length) override;
  // Hands a release that the input lock let through to the newest item.
  void deliverMouseUp(MouseEventType type);

 private:
  void hostChanged(GDBusConnection* bus);
  void showTrayIcon(SwitchingStatusButton& button);
  static gboolean fallBack(gpointer self);

  LinuxApplication& application_;
  MainQueue& queue_;
  MakeTrayIcon makeTrayIcon_;
  MakeNotifierItem makeNotifierItem_;
  std::weak_ptr<SwitchingStatusButton> newestButton_;
  std::optional<StatusNotifierHostWatch> hostWatch_;
  guint fallBackSource_ = 0;
};

}  // namespace hushpad::linux
