#include "platform/linux/x11/tray_icon.h"

#include <gdk/gdkx.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/linux/gtk_menu.h"
#include "platform/linux/x11/event_tap.h"

namespace hushpad::linux {
namespace {

// How long a tray may take to embed the icon before the user is told.
constexpr guint kTrayWaitSeconds = 3;

// GTK's own window for the icon, which the tray embeds.
GtkWidget* trayWidgetOf(GtkStatusIcon* icon) {
  const guint32 xid = gtk_status_icon_get_x11_window_id(icon);
  if (xid == 0) return nullptr;
  GdkWindow* window = gdk_x11_window_lookup_for_display(gdk_display_get_default(), xid);
  gpointer widget = nullptr;
  if (window != nullptr) gdk_window_get_user_data(window, &widget);
  return GTK_IS_WIDGET(widget) ? GTK_WIDGET(widget) : nullptr;
}

std::optional<GdkRGBA> trayForeground(GtkWidget* tray) {
  if (g_object_class_find_property(G_OBJECT_GET_CLASS(tray), "fg-color") == nullptr) {
    return std::nullopt;
  }
  GdkRGBA* color = nullptr;
  g_object_get(tray, "fg-color", &color, nullptr);
  if (color == nullptr) return std::nullopt;
  const GdkRGBA result = *color;
  gdk_rgba_free(color);
  return result;
}

}  // namespace

int trayIconPixelSize(int traySize) {
  int best = traySize;
  int bestDistance = G_MAXINT;
  for (int size = GTK_ICON_SIZE_MENU; size <= GTK_ICON_SIZE_DIALOG; ++size) {
    gint width = 0;
    gint height = 0;
    if (!gtk_icon_size_lookup(static_cast<GtkIconSize>(size), &width, &height)) continue;
    const int distance = std::max(std::abs(traySize - width), std::abs(traySize - height));
    if (distance < bestDistance) {
      bestDistance = distance;
      best = std::max(width, height);
    }
  }
  return best;
}

TrayStatusButton::TrayStatusButton(const MonitorScreens& screens, MarkColorRule markColor)
    : screens_(screens),
      markColor_(std::move(markColor)),
      icon_(gtk_status_icon_new()),
      tray_(trayWidgetOf(icon_)) {
  g_signal_connect(icon_, "button-press-event", G_CALLBACK(pressed), this);
  g_signal_connect(icon_, "button-release-event", G_CALLBACK(released), this);
  g_signal_connect(icon_, "size-changed", G_CALLBACK(sizeChanged), this);
  if (tray_ != nullptr) {
    g_signal_connect_swapped(tray_, "notify::fg-color", G_CALLBACK(lookChanged), this);
    g_signal_connect_swapped(tray_, "style-updated", G_CALLBACK(lookChanged), this);
    g_signal_connect_after(tray_, "draw", G_CALLBACK(drawn), this);
  }
  missingTrayTimer_ = g_timeout_add_seconds(kTrayWaitSeconds, reportMissingTray, this);
}

TrayStatusButton::~TrayStatusButton() {
  if (missingTrayTimer_ != 0) g_source_remove(missingTrayTimer_);
  if (recolourSource_ != 0) g_source_remove(recolourSource_);
  if (panelRecheckTimer_ != 0) g_source_remove(panelRecheckTimer_);
  if (tray_ != nullptr) g_signal_handlers_disconnect_by_data(tray_, this);
  g_signal_handlers_disconnect_by_data(icon_, this);
  g_object_unref(icon_);
}

void TrayStatusButton::setImage(std::shared_ptr<Image> image) {
  image_ = std::dynamic_pointer_cast<RecordedImage>(image);
  if (image_) {
    render();
  } else {
    gtk_status_icon_set_from_pixbuf(icon_, nullptr);
  }
}

void TrayStatusButton::setToolTip(const std::string& toolTip) {
  gtk_status_icon_set_tooltip_text(icon_, toolTip.c_str());
}

void TrayStatusButton::setAccessibilityLabel(const std::string& label) {
  gtk_status_icon_set_title(icon_, label.c_str());
}

void TrayStatusButton::performClick() {
  if (menu_) {
    const Menu menu = *menu_;
    showMenu(menu);
  } else {
    if (sink_) sink_(std::nullopt);
  }
}

std::optional<Rect> TrayStatusButton::screenFrame() const {
  GdkRectangle area;
  if (!gtk_status_icon_is_embedded(icon_) ||
      !gtk_status_icon_get_geometry(icon_, nullptr, &area, nullptr)) {
    return std::nullopt;
  }
  return toScreenRect(toPixelRect(area), screens_.primaryGeometry());
}

bool TrayStatusButton::isVisible() const {
  return gtk_status_icon_is_embedded(icon_) && gtk_status_icon_get_visible(icon_);
}


void TrayStatusButton::setMenu(const Menu* menu) {
  if (menu != nullptr) {
    menu_ = *menu;
  } else {
    menu_.reset();
  }
}

// The action comes with the release, as with any button.
gboolean TrayStatusButton::pressed(GtkStatusIcon*, GdkEventButton*, gpointer) { return TRUE; }

// A release away from the icon, after pressing on it, is no click.
gboolean TrayStatusButton::released(GtkStatusIcon*, GdkEventButton* event, gpointer self) {
  auto* button = static_cast<TrayStatusButton*>(self);
  if (button->isOnIcon(event->x_root, event->y_root) && button->sink_) {
    button->sink_(mouseUpType(event->button));
  }
  return TRUE;
}

gboolean TrayStatusButton::sizeChanged(GtkStatusIcon*, gint, gpointer self) {
  static_cast<TrayStatusButton*>(self)->render();
  return TRUE;
}

void TrayStatusButton::lookChanged(TrayStatusButton* self) { self->render(); }

// What is behind the icon is known only once the tray has shown it: look again
// after each drawing, and draw anew only if the colour should change.
void TrayStatusButton::drawn(GtkWidget*, cairo_t*, gpointer self) {
  auto* button = static_cast<TrayStatusButton*>(self);
  if (button->recolourSource_ == 0) button->recolourSource_ = g_idle_add(recolour, self);
  if (button->panelRecheckTimer_ == 0 && button->panelRechecksLeft_ > 0) {
    button->panelRecheckTimer_ = g_timeout_add(500, recheckPanel, self);
  }
}

gboolean TrayStatusButton::recolour(gpointer self) {
  auto* button = static_cast<TrayStatusButton*>(self);
  button->recolourSource_ = 0;
  const GdkRGBA color = button->templateColor();
  if (!button->renderedColor_ || !gdk_rgba_equal(&*button->renderedColor_, &color)) {
    button->render();
  }
  return G_SOURCE_REMOVE;
}

gboolean TrayStatusButton::recheckPanel(gpointer self) {
  auto* button = static_cast<TrayStatusButton*>(self);
  recolour(self);
  if (--button->panelRechecksLeft_ > 0) return G_SOURCE_CONTINUE;
  button->panelRecheckTimer_ = 0;
  return G_SOURCE_REMOVE;
}

gboolean TrayStatusButton::reportMissingTray(gpointer self) {
  auto* button = static_cast<TrayStatusButton*>(self);
  button->missingTrayTimer_ = 0;
  if (!gtk_status_icon_is_embedded(button->icon_)) {
    std::fputs(
        "Hushpad: no system tray found; the icon will appear as soon as a tray starts. Hushpad "
        "keeps running.\n",
        stderr);
  }
  return G_SOURCE_REMOVE;
}

bool TrayStatusButton::isOnIcon(double rootX, double rootY) const {
  GdkRectangle area;
  if (!gtk_status_icon_get_geometry(icon_, nullptr, &area, nullptr)) return false;
  return containsPoint(makeRect(area.x, area.y, area.width, area.height), Point{rootX, rootY});
}

// Shown at the icon; the nested main loop runs until it closes.
void TrayStatusButton::showMenu(const Menu& menu) {
  runMenu(menu, [this](GtkMenu* widget) {
    gtk_menu_popup(widget, nullptr, nullptr, gtk_status_icon_position_menu, icon_, 0,
                   gtk_get_current_event_time());
  });
}

// Drawn afresh for the tray's size, scale and colours.
void TrayStatusButton::render() {
  if (!image_) return;
  const int traySize = gtk_status_icon_get_size(icon_);
  const int size = traySize > 0 ? trayIconPixelSize(traySize)
                                : static_cast<int>(std::ceil(image_->size().width));
  const int scale = tray_ != nullptr ? gtk_widget_get_scale_factor(tray_) : 1;
  const GdkRGBA color = templateColor();
  GdkPixbuf* pixbuf = image_->render(size * scale, color);
  if (pixbuf == nullptr) return;
  renderedColor_ = color;
  gtk_status_icon_set_from_pixbuf(icon_, pixbuf);
  g_object_unref(pixbuf);
}

// The tray's announced colour, else the theme's, unless the panel shows that
// it would not read there.
GdkRGBA TrayStatusButton::templateColor() const {
  GdkRGBA theme{0, 0, 0, 1};
  if (tray_ == nullptr) return theme;
  gtk_style_context_get_color(gtk_widget_get_style_context(tray_),
                              gtk_widget_get_state_flags(tray_), &theme);
  const GdkRGBA preferred = templateColorFor(trayForeground(tray_), theme);
  const std::array<Color, 2> candidates{toColor(preferred), toColor(theme)};
  return toGdkRGBA(markColor_(panelColor(), candidates));
}

std::optional<Color> TrayStatusButton::panelColor() const {
  GdkWindow* window = tray_ != nullptr ? gtk_widget_get_window(tray_) : nullptr;
  if (window == nullptr || !gdk_window_is_viewable(window)) return std::nullopt;
  GdkWindow* source = window;
  int x = 0;
  int y = 0;
  // A tray that gives its icons an alpha channel (Xfce's does) draws them over
  // the panel itself: the icon's own pixels are transparent there, so the
  // screen at the icon's corner is looked at instead. A compositor keeps the
  // screen's pixels to itself.
  if (gdk_visual_get_depth(gdk_window_get_visual(window)) > 24) {
    GdkScreen* screen = gdk_window_get_screen(window);
    if (gdk_screen_is_composited(screen)) return std::nullopt;
    source = gdk_screen_get_root_window(screen);
    gdk_window_get_origin(window, &x, &y);
  }
  GdkPixbuf* corner = gdk_pixbuf_get_from_window(source, x, y, 1, 1);
  if (corner == nullptr) return std::nullopt;
  const guchar* pixel = gdk_pixbuf_read_pixels(corner);
  const Color color{pixel[0] / 255.0, pixel[1] / 255.0, pixel[2] / 255.0, 1};
  g_object_unref(corner);
  return color;
}

}  // namespace hushpad::linux
