#include "platform/linux/x11/unlock_mark.h"

#include <X11/Xlib.h>
#include <gdk/gdkx.h>

#include "platform/linux/x11/event_tap.h"

#include <algorithm>
#include <cmath>

namespace hushpad::linux {
namespace {

constexpr int kMaxRaisesPerSecond = 20;

int roundedPixels(double value) { return static_cast<int>(std::lround(value)); }

}  // namespace

OverlayUnlockMark::OverlayUnlockMark(const MonitorScreens& screens, ClickHandler clicks)
    : screens_(screens), clicks_(std::move(clicks)), window_(gtk_window_new(GTK_WINDOW_POPUP)) {
  GtkWindow* window = GTK_WINDOW(window_);
  gtk_window_set_accept_focus(window, FALSE);
  gtk_window_set_focus_on_map(window, FALSE);
  gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_NOTIFICATION);
  gtk_window_set_keep_above(window, TRUE);
  gtk_window_stick(window);
  gtk_widget_set_app_paintable(window_, TRUE);
  GdkScreen* screen = gtk_widget_get_screen(window_);
  if (GdkVisual* rgba = gdk_screen_get_rgba_visual(screen);
      rgba != nullptr && gdk_screen_is_composited(screen)) {
    gtk_widget_set_visual(window_, rgba);
  }
  g_signal_connect(window_, "draw", G_CALLBACK(drawn), this);
  gtk_widget_add_events(window_, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK);
  g_signal_connect(window_, "button-release-event", G_CALLBACK(released), this);
}

gboolean OverlayUnlockMark::released(GtkWidget*, GdkEventButton* event, gpointer self) {
  const MouseEventType type = mouseUpType(event->button);
  auto* mark = static_cast<OverlayUnlockMark*>(self);
  if (type != MouseEventType::Other && mark->clicks_) mark->clicks_(type);
  return TRUE;
}

// No one moves an override-redirect window but its owner: where it was put is
// where it is.
std::optional<Rect> OverlayUnlockMark::frame() const {
  if (!placed_) return std::nullopt;
  return toScreenRect(*placed_, screens_.primaryGeometry());
}

void OverlayUnlockMark::keepOnTop(bool keep) {
  if (!gtk_widget_get_visible(window_)) return;
  watchStacking(keep);
  if (keep) gdk_window_raise(gtk_widget_get_window(window_));
}

OverlayUnlockMark::~OverlayUnlockMark() {
  hide();
  gtk_widget_destroy(window_);
}

bool OverlayUnlockMark::show(Rect frame, const UnlockMarkContent& content) {
  image_ = std::dynamic_pointer_cast<RecordedImage>(content.image);
  const PixelRect place = toPixelRect(frame, screens_.primaryGeometry());
  const int width = roundedPixels(place.width);
  const int height = roundedPixels(place.height);
  if (!image_ || width <= 0 || height <= 0) {
    hide();
    return false;
  }
  GtkWindow* window = GTK_WINDOW(window_);
  gtk_window_set_title(window, content.title.c_str());
  gtk_widget_set_tooltip_text(window_, content.toolTip.c_str());
  atk_object_set_name(gtk_widget_get_accessible(window_), content.accessibilityLabel.c_str());
  gtk_widget_set_size_request(window_, width, height);
  gtk_window_resize(window, width, height);
  gtk_window_move(window, roundedPixels(place.x), roundedPixels(place.y));
  placed_ = PixelRect{static_cast<double>(roundedPixels(place.x)),
                      static_cast<double>(roundedPixels(place.y)), static_cast<double>(width),
                      static_cast<double>(height)};
  if (!gdk_screen_is_composited(gtk_widget_get_screen(window_))) shapeToImage(width, height);
  gtk_widget_show(window_);
  gdk_window_raise(gtk_widget_get_window(window_));
  gtk_widget_queue_draw(window_);
  watchStacking(true);
  return gtk_widget_get_mapped(window_);
}

void OverlayUnlockMark::hide() {
  placed_.reset();
  watchStacking(false);
  gtk_widget_hide(window_);
}

// The mark is square: drawn as large as the window allows, centred in it.
void OverlayUnlockMark::shapeToImage(int width, int height) {
  const int side = std::min(width, height);
  GdkPixbuf* pixels = image_->render(side, GdkRGBA{0, 0, 0, 1});
  if (pixels == nullptr) return;
  cairo_surface_t* surface = gdk_cairo_surface_create_from_pixbuf(pixels, 1, nullptr);
  cairo_region_t* region = gdk_cairo_region_create_from_surface(surface);
  cairo_region_translate(region, (width - side) / 2, (height - side) / 2);
  gtk_widget_shape_combine_region(window_, region);
  cairo_region_destroy(region);
  cairo_surface_destroy(surface);
  g_object_unref(pixels);
}

gboolean OverlayUnlockMark::drawn(GtkWidget* widget, cairo_t* cr, gpointer self) {
  const auto* mark = static_cast<OverlayUnlockMark*>(self);
  cairo_save(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_set_source_rgba(cr, 0, 0, 0, 0);
  cairo_paint(cr);
  cairo_restore(cr);
  if (!mark->image_) return TRUE;
  const int scale = gtk_widget_get_scale_factor(widget);
  const int width = gtk_widget_get_allocated_width(widget);
  const int height = gtk_widget_get_allocated_height(widget);
  const int side = std::min(width, height);
  GdkPixbuf* pixels = mark->image_->render(side * scale, GdkRGBA{0, 0, 0, 1});
  if (pixels == nullptr) return TRUE;
  cairo_translate(cr, (width - side) / 2, (height - side) / 2);
  cairo_scale(cr, 1.0 / scale, 1.0 / scale);
  gdk_cairo_set_source_pixbuf(cr, pixels, 0, 0);
  cairo_paint(cr);
  g_object_unref(pixels);
  return TRUE;
}

// The root window reports every top-level window that is mapped or restacked.
void OverlayUnlockMark::watchStacking(bool watch) {
  if (watch == watching_) return;
  watching_ = watch;
  GdkWindow* root = gdk_screen_get_root_window(gtk_widget_get_screen(window_));
  if (watch) {
    rootEvents_ = gdk_window_get_events(root);
    gdk_window_set_events(root, static_cast<GdkEventMask>(rootEvents_ | GDK_SUBSTRUCTURE_MASK));
    gdk_window_add_filter(root, rootEvent, this);
    return;
  }
  gdk_window_remove_filter(root, rootEvent, this);
  gdk_window_set_events(root, rootEvents_);
  if (raiseSource_ != 0) g_source_remove(raiseSource_);
  raiseSource_ = 0;
}

GdkFilterReturn OverlayUnlockMark::rootEvent(GdkXEvent* xevent, GdkEvent*, gpointer self) {
  auto* mark = static_cast<OverlayUnlockMark*>(self);
  const int type = static_cast<XEvent*>(xevent)->type;
  if ((type == ConfigureNotify || type == MapNotify) && mark->raiseSource_ == 0) {
    mark->raiseSource_ = g_idle_add(raiseIfCovered, self);
  }
  return GDK_FILTER_CONTINUE;
}

gboolean OverlayUnlockMark::raiseIfCovered(gpointer self) {
  auto* mark = static_cast<OverlayUnlockMark*>(self);
  mark->raiseSource_ = 0;
  if (!mark->watching_ || mark->isTopmost()) return G_SOURCE_REMOVE;
  const std::int64_t second = g_get_monotonic_time() / G_USEC_PER_SEC;
  if (second != mark->raiseSecond_) {
    mark->raiseSecond_ = second;
    mark->raisesThisSecond_ = 0;
  }
  if (++mark->raisesThisSecond_ <= kMaxRaisesPerSecond) {
    gdk_window_raise(gtk_widget_get_window(mark->window_));
  }
  return G_SOURCE_REMOVE;
}

// The last child of the root window is the top of the stack.
bool OverlayUnlockMark::isTopmost() const {
  GdkWindow* window = gtk_widget_get_window(window_);
  if (window == nullptr) return true;
  Display* display = GDK_WINDOW_XDISPLAY(window);
  ::Window rootReturn = 0;
  ::Window parent = 0;
  ::Window* children = nullptr;
  unsigned int count = 0;
  if (XQueryTree(display, GDK_WINDOW_XID(gdk_screen_get_root_window(gdk_window_get_screen(window))),
                 &rootReturn, &parent, &children, &count) == 0) {
    return true;
  }
  const bool topmost = count == 0 || children[count - 1] == GDK_WINDOW_XID(window);
  if (children != nullptr) XFree(children);
  return topmost;
}

}  // namespace hushpad::linux
