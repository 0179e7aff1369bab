#include "platform/linux/desktop_status_bar.h"

#include <cstdio>

namespace hushpad::linux {

DesktopStatusBar::DesktopStatusBar(LinuxApplication& application, MainQueue& queue,
                                   MakeTrayIcon makeTrayIcon, MakeNotifierItem makeNotifierItem)
    : application_(application),
      queue_(queue),
      makeTrayIcon_(std::move(makeTrayIcon)),
      makeNotifierItem_(std::move(makeNotifierItem)) {}

DesktopStatusBar::~DesktopStatusBar() {
  if (fallBackSource_ != 0) g_source_remove(fallBackSource_);
}

std::unique_ptr<StatusItem> DesktopStatusBar::statusItem(double) {
  auto button = std::make_shared<SwitchingStatusButton>(application_, queue_);
  newestButton_ = button;
  if (!makeNotifierItem_) {
    button->switchTo(makeTrayIcon_());
  } else if (!hostWatch_) {
    hostWatch_.emplace([this](GDBusConnection* bus) { hostChanged(bus); });
  }
  return std::make_unique<SwitchingStatusItem>(std::move(button));
}

void DesktopStatusBar::deliverMouseUp(MouseEventType type) {
  if (const std::shared_ptr<SwitchingStatusButton> button = newestButton_.lock()) {
    button->mouseUp(type);
  }
}

void DesktopStatusBar::hostChanged(GDBusConnection* bus) {
  const std::shared_ptr<SwitchingStatusButton> button = newestButton_.lock();
  if (!button) return;
  if (fallBackSource_ != 0) {
    g_source_remove(fallBackSource_);
    fallBackSource_ = 0;
  }
  if (bus == nullptr) {
    showTrayIcon(*button);
    return;
  }
  // The item that shows now goes before the new one takes the bus object.
  button->switchTo(nullptr);
  button->switchTo(makeNotifierItem_(bus, [this](bool registered) {
    // Told from inside the item: it is replaced once that call has returned.
    if (!registered && fallBackSource_ == 0) fallBackSource_ = g_idle_add(fallBack, this);
  }));
}

// Where the display has no tray icon of its own, nothing shows the item until
// a panel that hosts StatusNotifierItems starts: the user is told.
void DesktopStatusBar::showTrayIcon(SwitchingStatusButton& button) {
  std::unique_ptr<TrayKindButton> icon = makeTrayIcon_();
  if (!icon) {
    std::fputs(
        "Hushpad: no panel here shows StatusNotifierItems; the item will appear as soon as one "
        "starts. Hushpad keeps running.\n",
        stderr);
  }
  button.switchTo(std::move(icon));
}

gboolean DesktopStatusBar::fallBack(gpointer self) {
  auto* bar = static_cast<DesktopStatusBar*>(self);
  bar->fallBackSource_ = 0;
  if (const std::shared_ptr<SwitchingStatusButton> button = bar->newestButton_.lock()) {
    bar->showTrayIcon(*button);
    // A host that registers from now on gets a new StatusNotifierItem.
    if (bar->hostWatch_) bar->hostWatch_->forget();
  }
  return G_SOURCE_REMOVE;
}

}  // namespace hushpad::linux
