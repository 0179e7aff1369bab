#pragma once
// The status item as an XEmbed system tray icon (GtkStatusIcon), for trays
// that have no StatusNotifierItem host. Main thread only.

#include <gtk/gtk.h>

#include <functional>
#include <memory>
#include <optional>
#include <span>

#include "platform/linux/application.h"
#include "platform/linux/switching_status_item.h"
#include "platform/linux/screens.h"
#include "platform/linux/image.h"
#include "platform/status_item.h"

namespace hushpad::linux {

// The pixel size GTK shows a tray icon of size pixels at: the nearest of the
// theme's icon sizes. An image of exactly that size is shown unscaled.
int trayIconPixelSize(int traySize);

class TrayStatusButton final : public TrayKindButton {
 public:
  TrayStatusButton(const MonitorScreens& screens, MarkColorRule markColor);
  ~TrayStatusButton() override;
  TrayStatusButton(const TrayStatusButton&) = delete;
  TrayStatusButton& operator=(const TrayStatusButton&) = delete;

  // A tray icon shows only its image.
  void setTitle(const std::string&) override {}
  void setImage(std::shared_ptr<Image> image) override;
  void setImagePosition(ImagePosition) override {}
  void setToolTip(const std::string& toolTip) override;
  void setAccessibilityLabel(const std::string& label) override;
  // With a menu: shows it at the icon and returns once it has closed.
  void performClick() override;
  std::optional<Rect> screenFrame() const override;
  // Embedded in a tray and not hidden; a tray icon has no window over it.
  bool isVisible() const override;

  void setClickSink(ClickSink sink) override { sink_ = std::move(sink); }
  void setMenu(const Menu* menu) override;

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
  void showMenu(const Menu& menu);
  void render();
  GdkRGBA templateColor() const;

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
  ClickSink sink_;
  std::optional<Menu> menu_;
};

}  // namespace hushpad::linux
