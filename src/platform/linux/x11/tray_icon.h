#pragma once
// The status item as an XEmbed system tray icon (GtkStatusIcon). Main thread
// only; the item owns its button, the tray bar only remembers the newest one.

#include <gtk/gtk.h>

#include <functional>
#include <memory>
#include <optional>
#include <span>

#include "platform/linux/application.h"
#include "platform/linux/x11/screens.h"
#include "platform/linux/image.h"
#include "platform/status_item.h"

namespace hushpad::linux {

// The pixel size GTK shows a tray icon of size pixels at: the nearest of the
// theme's icon sizes. An image of exactly that size is shown unscaled.
int trayIconPixelSize(int traySize);

// Chooses the colour of a template mark from the panel's colour behind it (if
// known) and the colours the tray and the theme would give it, in that order.
using MarkColorRule =
    std::function<Color(std::optional<Color> panel, std::span<const Color> preferred)>;

class TrayStatusButton final : public StatusButton {
 public:
  TrayStatusButton(LinuxApplication& application, const MonitorScreens& screens,
                   MarkColorRule markColor);
  ~TrayStatusButton() override;
  TrayStatusButton(const TrayStatusButton&) = delete;
  TrayStatusButton& operator=(const TrayStatusButton&) = delete;

  // A tray icon shows only its image.
  void setTitle(const std::string&) override {}
  void setImage(std::shared_ptr<Image> image) override;
  void setImagePosition(ImagePosition) override {}
  void setTarget(ActionTarget* target, Action action) override;
  void sendActionOn(std::uint64_t mask) override { actionMask_ = mask; }
  void setToolTip(const std::string& toolTip) override;
  void setAccessibilityLabel(const std::string& label) override;
  // With a menu: shows it at the icon and returns once it has closed.
  void performClick() override;
  std::optional<Rect> screenFrame() const override;
  // Embedded in a tray and not hidden; a tray icon has no window over it.
  bool isVisible() const override;

  // A mouse button released on the icon, or let through to it while the input
  // is held: sends the action if the mask asks for this kind of release.
  void mouseUp(MouseEventType type);
  void setMenu(const Menu* menu);

 private:
  static gboolean pressed(GtkStatusIcon*, GdkEventButton*, gpointer);
  static gboolean released(GtkStatusIcon*, GdkEventButton* event, gpointer self);
  static gboolean sizeChanged(GtkStatusIcon*, gint, gpointer self);
  static void lookChanged(TrayStatusButton* self);
  static void drawn(GtkWidget*, cairo_t*, gpointer self);
  static gboolean recolour(gpointer self);
  static gboolean recheckPanel(gpointer self);
  // The panel's colour at a corner of the icon, where the mark never draws;
  // nothing before the icon is on screen, or where a compositor keeps the
  // panel's pixels from this program.
  std::optional<Color> panelColor() const;
  static gboolean reportMissingTray(gpointer self);
  bool isOnIcon(double rootX, double rootY) const;
  void sendAction(std::optional<MouseEventType> type);
  void showMenu(const Menu& menu);
  void render();
  GdkRGBA templateColor() const;

  LinuxApplication& application_;
  const MonitorScreens& screens_;
  MarkColorRule markColor_;
  GtkStatusIcon* icon_;
  GtkWidget* tray_;  // the icon's window in the tray (GTK's own), if found
  guint missingTrayTimer_ = 0;
  std::shared_ptr<RecordedImage> image_;
  std::optional<GdkRGBA> renderedColor_;  // of the image shown now
  guint recolourSource_ = 0;
  // A tray may show the icon before it has painted the panel behind it: the
  // panel is looked at again a few times after the first drawing.
  guint panelRecheckTimer_ = 0;
  int panelRechecksLeft_ = 4;
  ActionTarget* target_ = nullptr;
  Action action_ = Action::None;
  std::uint64_t actionMask_ = 0;
  std::optional<Menu> menu_;
};

class TrayStatusItem final : public StatusItem {
 public:
  explicit TrayStatusItem(std::shared_ptr<TrayStatusButton> button) : button_(std::move(button)) {}
  std::shared_ptr<StatusButton> button() override { return button_; }
  void setMenu(const Menu* menu) override { button_->setMenu(menu); }

 private:
  std::shared_ptr<TrayStatusButton> button_;
};

class TrayStatusBar final : public StatusBar {
 public:
  TrayStatusBar(LinuxApplication& application, const MonitorScreens& screens,
                MarkColorRule markColor)
      : application_(application), screens_(screens), markColor_(std::move(markColor)) {}

  // One tray icon per item; the length is the tray's business.
  std::unique_ptr<StatusItem> statusItem(double length) override;
  // Hands a release that the event tap let through to the newest item.
  void deliverMouseUp(MouseEventType type);

 private:
  LinuxApplication& application_;
  const MonitorScreens& screens_;
  MarkColorRule markColor_;
  std::weak_ptr<TrayStatusButton> newestButton_;
};

}  // namespace hushpad::linux
