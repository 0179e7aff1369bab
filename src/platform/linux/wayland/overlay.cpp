#include "platform/linux/wayland/overlay.h"

#include <gdk/gdkwayland.h>
#include <gtk-layer-shell/gtk-layer-shell.h>
#include <wayland-client.h>

#include "keyboard-shortcuts-inhibit-client.h"

#include <cmath>

namespace hushpad::linux {
namespace {

// How long the compositor may take to map the cover and give it the keyboard.
constexpr gint64 kCoverDeadlineUs = 2 * G_USEC_PER_SEC;
// How long after that the pointer may take to show where it is.
constexpr gint64 kPointerDeadlineUs = G_USEC_PER_SEC / 2;
// The keyboard moving between the cover's own surfaces leaves one before it
// enters the next: only a keyboard gone for this long has gone elsewhere.
constexpr guint kLossConfirmMs = 100;

constexpr auto kCoverEvents = static_cast<GdkEventMask>(
    GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK |
    GDK_KEY_PRESS_MASK | GDK_KEY_RELEASE_MASK | GDK_SCROLL_MASK | GDK_SMOOTH_SCROLL_MASK |
    GDK_TOUCH_MASK | GDK_ENTER_NOTIFY_MASK | GDK_LEAVE_NOTIFY_MASK | GDK_FOCUS_CHANGE_MASK |
    GDK_TOUCHPAD_GESTURE_MASK);

gboolean wake(gpointer) { return G_SOURCE_CONTINUE; }

PixelRect monitorRect(GdkMonitor* monitor) {
  GdkRectangle area;
  gdk_monitor_get_geometry(monitor, &area);
  return toPixelRect(area);
}

}  // namespace

WaylandOverlay::WaylandOverlay(GdkDisplay* display, const MonitorScreens& screens,
                               const RestartCommand* restart)
    : display_(display), screens_(screens), watchdog_(restart) {
  g_signal_connect(display_, "monitor-added", G_CALLBACK(monitorAdded), this);
  g_signal_connect(display_, "monitor-removed", G_CALLBACK(monitorRemoved), this);
  if (GDK_IS_WAYLAND_DISPLAY(display_)) {
    static const wl_registry_listener listener{global, [](void*, wl_registry*, uint32_t) {}};
    wl_display* wayland = gdk_wayland_display_get_wl_display(display_);
    registry_ = wl_display_get_registry(wayland);
    wl_registry_add_listener(registry_, &listener, this);
    wl_display_roundtrip(wayland);
  }
}

WaylandOverlay::~WaylandOverlay() {
  g_signal_handlers_disconnect_by_data(display_, this);
  uncover();
  if (shortcuts_ != nullptr) zwp_keyboard_shortcuts_inhibit_manager_v1_destroy(shortcuts_);
  if (registry_ != nullptr) wl_registry_destroy(registry_);
}

void WaylandOverlay::global(void* self, wl_registry* registry, uint32_t name,
                            const char* interface, uint32_t) {
  auto* overlay = static_cast<WaylandOverlay*>(self);
  if (g_strcmp0(interface, zwp_keyboard_shortcuts_inhibit_manager_v1_interface.name) == 0 &&
      overlay->shortcuts_ == nullptr) {
    overlay->shortcuts_ = static_cast<zwp_keyboard_shortcuts_inhibit_manager_v1*>(
        wl_registry_bind(registry, name, &zwp_keyboard_shortcuts_inhibit_manager_v1_interface, 1));
  }
}

void WaylandOverlay::setClient(EventTapClient* client, OverlayReleaseHandler releases) {
  client_ = client;
  releases_ = std::move(releases);
}

// Not again from inside its own wait (a click that came meanwhile): the
// cover being put up is the one.
bool WaylandOverlay::cover() {
  if (active_) {
    if (covering_) return false;
    askShortcutsAgain();
    checkHold();
    return held_;
  }
  putUp();
  if (listener_ != nullptr) {
    // A retake: the cover says when it holds the input.
    checkHold();
    return held_;
  }
  covering_ = true;
  const unsigned generation = generation_;
  const guint waker = g_timeout_add(20, wake, nullptr);
  const gint64 start = g_get_monotonic_time();
  gint64 readyAt = 0;
  while (covering_ && active_ && generation == generation_) {
    const gint64 now = g_get_monotonic_time();
    if (ready()) {
      if (readyAt == 0) readyAt = now;
      if (pointer_ || now - readyAt > kPointerDeadlineUs) break;
    } else if (now - start > kCoverDeadlineUs) {
      break;
    }
    g_main_context_iteration(nullptr, TRUE);
  }
  g_source_remove(waker);
  // Lifted meanwhile (and maybe put up again by a later lock): not this one's.
  if (generation != generation_ || !active_) return false;
  const bool held = covering_ && ready();
  covering_ = false;
  if (!held) uncover();
  held_ = held;
  return held;
}

void WaylandOverlay::putUp() {
  active_ = true;
  held_ = false;
  pointer_.reset();
  ++generation_;
  const int monitors = gdk_display_get_n_monitors(display_);
  for (int i = 0; i < monitors; ++i) addSurface(gdk_display_get_monitor(display_, i));
  watchdog_.arm();
}

// Every output's surface has its output's size from the compositor (GDK's
// own map event comes before the compositor has placed anything), and one has
// the keyboard. A seat with no keyboard has no keyboard focus to give: the
// keyboard mode still takes any keyboard plugged in later.
bool WaylandOverlay::ready() const {
  if (surfaces_.empty() || !keyboardHeld()) return false;
  for (const Surface& surface : surfaces_) {
    if (!surface.mapped || !surface.placed()) return false;
  }
  return true;
}

// A surface of the cover has the keyboard, and the compositor has not given
// its own shortcuts back (an inhibitor it never answered counts as held: not
// every compositor says).
bool WaylandOverlay::keyboardHeld() const {
  const bool keyboard = (gdk_seat_get_capabilities(gdk_display_get_default_seat(display_)) &
                         GDK_SEAT_CAPABILITY_KEYBOARD) != 0;
  if (!keyboard) return true;
  for (const Surface& surface : surfaces_) {
    if (surface.focused) return surface.shortcuts != Shortcuts::GivenBack;
  }
  return false;
}

// Holding the input, the cover waits a moment before it calls a keyboard gone
// elsewhere; not holding it (put up again while another program has it), it
// says as soon as it does.
void WaylandOverlay::checkHold() {
  if (!active_ || covering_) return;
  if (ready()) {
    if (lossCheck_ != 0) g_source_remove(lossCheck_);
    lossCheck_ = 0;
    if (held_) return;
    held_ = true;
    if (listener_ != nullptr) listener_->inputMayBeFree();
    return;
  }
  if (held_ && !keyboardHeld() && lossCheck_ == 0) {
    lossCheck_ = g_timeout_add(kLossConfirmMs, confirmLoss, this);
  }
}

gboolean WaylandOverlay::confirmLoss(gpointer self) {
  auto* overlay = static_cast<WaylandOverlay*>(self);
  overlay->lossCheck_ = 0;
  if (!overlay->active_ || !overlay->held_ || overlay->keyboardHeld()) return G_SOURCE_REMOVE;
  overlay->held_ = false;
  if (overlay->listener_ != nullptr) overlay->listener_->inputTakenElsewhere();
  return G_SOURCE_REMOVE;
}

// An output plugged in while the cover is up has its surface at once; one the
// compositor has not placed in time leaves a hole, as one it closes does.
gboolean WaylandOverlay::placeDeadline(gpointer self) {
  auto* overlay = static_cast<WaylandOverlay*>(self);
  overlay->placeCheck_ = 0;
  if (!overlay->active_) return G_SOURCE_REMOVE;
  for (const Surface& surface : overlay->surfaces_) {
    if (!surface.mapped || !surface.placed()) {
      overlay->breakCover();
      break;
    }
  }
  return G_SOURCE_REMOVE;
}

void WaylandOverlay::stopTimers() {
  if (lossCheck_ != 0) g_source_remove(lossCheck_);
  if (placeCheck_ != 0) g_source_remove(placeCheck_);
  lossCheck_ = 0;
  placeCheck_ = 0;
}

// The unlock mark stays for when the cover is put up again (after a pause):
// only hideMark() takes it away.
void WaylandOverlay::uncover() {
  active_ = false;
  covering_ = false;
  held_ = false;
  stopTimers();
  std::vector<Surface> surfaces = std::move(surfaces_);
  surfaces_.clear();
  for (const Surface& surface : surfaces) dropSurface(surface);
  pointer_.reset();
  watchdog_.disarm();
}

void WaylandOverlay::addSurface(GdkMonitor* monitor) {
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  GtkWindow* gtkWindow = GTK_WINDOW(window);
  gtk_window_set_title(gtkWindow, "Hushpad input lock");
  gtk_layer_init_for_window(gtkWindow);
  gtk_layer_set_namespace(gtkWindow, "hushpad");
  gtk_layer_set_layer(gtkWindow, GTK_LAYER_SHELL_LAYER_OVERLAY);
  gtk_layer_set_monitor(gtkWindow, monitor);
  for (const GtkLayerShellEdge edge : {GTK_LAYER_SHELL_EDGE_LEFT, GTK_LAYER_SHELL_EDGE_RIGHT,
                                       GTK_LAYER_SHELL_EDGE_TOP, GTK_LAYER_SHELL_EDGE_BOTTOM}) {
    gtk_layer_set_anchor(gtkWindow, edge, TRUE);
  }
  gtk_layer_set_exclusive_zone(gtkWindow, -1);  // over panels, not beside them
  gtk_layer_set_keyboard_mode(gtkWindow, GTK_LAYER_SHELL_KEYBOARD_MODE_EXCLUSIVE);
  if (GdkVisual* visual = gdk_screen_get_rgba_visual(gtk_widget_get_screen(window))) {
    gtk_widget_set_visual(window, visual);
  }
  gtk_widget_set_app_paintable(window, TRUE);
  gtk_widget_add_events(window, kCoverEvents);
  g_signal_connect(window, "event", G_CALLBACK(onEvent), this);
  g_signal_connect(window, "draw", G_CALLBACK(onDraw), this);
  g_signal_connect(window, "delete-event", G_CALLBACK(onDelete), this);
  surfaces_.push_back(Surface{window, monitor});
  g_signal_connect(monitor, "notify::geometry", G_CALLBACK(monitorResized), this);
  gtk_widget_show(window);
}

bool WaylandOverlay::Surface::placed() const {
  const PixelRect output = monitorRect(monitor);
  return output.width > 0 && width == static_cast<int>(output.width) &&
         height == static_cast<int>(output.height);
}

void WaylandOverlay::monitorResized(GdkMonitor*, GParamSpec*, gpointer self) {
  static_cast<WaylandOverlay*>(self)->checkHold();
}

WaylandOverlay::Surface* WaylandOverlay::surfaceOf(GtkWidget* window) {
  for (Surface& surface : surfaces_) {
    if (surface.window == window) return &surface;
  }
  return nullptr;
}

// The compositor's own key bindings (and volume, media and brightness keys)
// are held back for as long as the cover is up, on every output's surface:
// the keyboard goes to whichever output the pointer is on.
void WaylandOverlay::holdShortcuts(Surface& surface) {
  if (shortcuts_ == nullptr || surface.inhibitor != nullptr) return;
  GdkWindow* window = gtk_widget_get_window(surface.window);
  if (window == nullptr) return;
  surface.inhibitor = zwp_keyboard_shortcuts_inhibit_manager_v1_inhibit_shortcuts(
      shortcuts_, gdk_wayland_window_get_wl_surface(window),
      gdk_wayland_seat_get_wl_seat(gdk_display_get_default_seat(display_)));
  static const zwp_keyboard_shortcuts_inhibitor_v1_listener listener{shortcutsHeld,
                                                                     shortcutsGivenBack};
  zwp_keyboard_shortcuts_inhibitor_v1_add_listener(surface.inhibitor, &listener, this);
}

// Taking the input back, the cover asks again for the shortcuts the
// compositor gave back (an inhibitor stays inactive once it is).
void WaylandOverlay::askShortcutsAgain() {
  for (Surface& surface : surfaces_) {
    if (surface.inhibitor == nullptr || surface.shortcuts != Shortcuts::GivenBack) continue;
    zwp_keyboard_shortcuts_inhibitor_v1_destroy(surface.inhibitor);
    surface.inhibitor = nullptr;
    surface.shortcuts = Shortcuts::Asked;
    holdShortcuts(surface);
  }
}

void WaylandOverlay::shortcutsHeld(void* self, zwp_keyboard_shortcuts_inhibitor_v1* inhibitor) {
  auto* overlay = static_cast<WaylandOverlay*>(self);
  for (Surface& surface : overlay->surfaces_) {
    if (surface.inhibitor == inhibitor) surface.shortcuts = Shortcuts::Held;
  }
  overlay->checkHold();
}

// The compositor's shortcuts work again (the user's escape binding, or the
// compositor's own choice): keys now reach another program.
void WaylandOverlay::shortcutsGivenBack(void* self,
                                        zwp_keyboard_shortcuts_inhibitor_v1* inhibitor) {
  auto* overlay = static_cast<WaylandOverlay*>(self);
  for (Surface& surface : overlay->surfaces_) {
    if (surface.inhibitor == inhibitor) surface.shortcuts = Shortcuts::GivenBack;
  }
  overlay->checkHold();
}

void WaylandOverlay::dropSurface(const Surface& surface) {
  if (surface.inhibitor != nullptr) zwp_keyboard_shortcuts_inhibitor_v1_destroy(surface.inhibitor);
  g_signal_handlers_disconnect_by_data(surface.window, this);
  g_signal_handlers_disconnect_by_data(surface.monitor, this);
  gtk_widget_destroy(surface.window);
}

gboolean WaylandOverlay::onEvent(GtkWidget* window, GdkEvent* event, gpointer self) {
  auto* overlay = static_cast<WaylandOverlay*>(self);
  Surface* surface = overlay->surfaceOf(window);
  if (surface == nullptr) return FALSE;
  switch (event->type) {
    case GDK_MAP:
      surface->mapped = true;
      overlay->holdShortcuts(*surface);
      overlay->checkHold();
      return FALSE;
    case GDK_UNMAP:
      surface->mapped = false;
      overlay->checkHold();
      return FALSE;
    case GDK_FOCUS_CHANGE:
      surface->focused = event->focus_change.in != 0;
      overlay->checkHold();
      return FALSE;
    case GDK_CONFIGURE: {
      surface->width = event->configure.width;
      surface->height = event->configure.height;
      overlay->checkHold();
      return FALSE;
    }
    case GDK_EXPOSE:
    case GDK_DELETE:
    case GDK_DESTROY:
    case GDK_WINDOW_STATE:
    case GDK_VISIBILITY_NOTIFY:
      return FALSE;
    default:
      overlay->handleInput(*surface, event);
      return TRUE;  // nothing of the input goes on, not even to GTK
  }
}

void WaylandOverlay::handleInput(const Surface& surface, GdkEvent* event) {
  gdouble x = 0;
  gdouble y = 0;
  if (gdk_event_get_coords(event, &x, &y)) {
    const PixelRect origin = monitorRect(surface.monitor);
    pointer_ = Point{origin.x + x, origin.y + y};
  }
  const std::optional<TapEvent> tapEvent = translateTapEvent(*event);
  if (!tapEvent || client_ == nullptr) return;
  if (!isKeyboardEvent(tapEvent->type) && pointer_) {
    lastLocation_ = toEventLocation(std::floor(pointer_->x), std::floor(pointer_->y),
                                    screens_.primaryGeometry());
  }
  const TapVerdict verdict = client_->eventTapCallback(tapEvent->type, lastLocation_);
  if (verdict != TapVerdict::Unlock || !tapEvent->release || !releases_) return;
  // The unlock lifts the cover and lets go of the handler while it runs.
  const OverlayReleaseHandler releases = releases_;
  releases(*tapEvent->release);
}

// Clear everywhere, with the unlock mark where it is on this surface's output.
gboolean WaylandOverlay::onDraw(GtkWidget* window, cairo_t* cr, gpointer self) {
  auto* overlay = static_cast<WaylandOverlay*>(self);
  cairo_save(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_set_source_rgba(cr, 0, 0, 0, 0);
  cairo_paint(cr);
  cairo_restore(cr);
  const Surface* surface = overlay->surfaceOf(window);
  if (surface == nullptr || !overlay->mark_ || !overlay->markImage_) return TRUE;
  const PixelRect origin = monitorRect(surface->monitor);
  const PixelRect& mark = *overlay->mark_;
  const int scale = gtk_widget_get_scale_factor(window);
  const int size = static_cast<int>(std::lround(mark.width));
  GdkPixbuf* pixbuf = overlay->markImage_->render(size * scale, GdkRGBA{1, 1, 1, 1});
  if (pixbuf == nullptr) return TRUE;
  cairo_surface_t* image =
      gdk_cairo_surface_create_from_pixbuf(pixbuf, scale, gtk_widget_get_window(window));
  cairo_set_source_surface(cr, image, mark.x - origin.x, mark.y - origin.y);
  cairo_paint(cr);
  cairo_surface_destroy(image);
  g_object_unref(pixbuf);
  return TRUE;
}

// The compositor closed a surface. For an output that went away that is its
// due; otherwise the cover has a hole: the client hears the tap went off.
gboolean WaylandOverlay::onDelete(GtkWidget* window, GdkEvent*, gpointer self) {
  auto* overlay = static_cast<WaylandOverlay*>(self);
  Surface* surface = overlay->surfaceOf(window);
  if (surface == nullptr) return TRUE;
  bool outputThere = false;
  for (int i = 0; i < gdk_display_get_n_monitors(overlay->display_); ++i) {
    outputThere = outputThere || gdk_display_get_monitor(overlay->display_, i) == surface->monitor;
  }
  if (!outputThere) return TRUE;  // monitorRemoved takes it away
  overlay->breakCover();
  return TRUE;
}

// The client hears that the tap went off; the cover is not put up again.
void WaylandOverlay::breakCover() {
  broken_ = true;
  covering_ = false;
  if (!active_) return;
  uncover();
  if (client_ != nullptr) client_->eventTapCallback(kEventTapDisabledByUserInput, lastLocation_);
}

void WaylandOverlay::monitorAdded(GdkDisplay*, GdkMonitor* monitor, gpointer self) {
  auto* overlay = static_cast<WaylandOverlay*>(self);
  if (!overlay->active_) return;
  overlay->addSurface(monitor);
  if (overlay->placeCheck_ != 0) g_source_remove(overlay->placeCheck_);
  overlay->placeCheck_ =
      g_timeout_add(static_cast<guint>(kCoverDeadlineUs / 1000), placeDeadline, overlay);
}

void WaylandOverlay::monitorRemoved(GdkDisplay*, GdkMonitor* monitor, gpointer self) {
  auto* overlay = static_cast<WaylandOverlay*>(self);
  for (auto it = overlay->surfaces_.begin(); it != overlay->surfaces_.end(); ++it) {
    if (it->monitor != monitor) continue;
    const Surface surface = *it;
    overlay->surfaces_.erase(it);
    overlay->dropSurface(surface);
    // With no output left the compositor puts the windows somewhere no cover
    // is: the lock ends rather than show "locked" over free input.
    if (overlay->surfaces_.empty() && overlay->active_) {
      overlay->breakCover();
    } else {
      overlay->checkHold();
    }
    return;
  }
}

bool WaylandOverlay::showMark(const PixelRect& rect, std::shared_ptr<RecordedImage> image) {
  if (!active_ || !image) return false;
  mark_ = rect;
  markImage_ = std::move(image);
  for (const Surface& surface : surfaces_) gtk_widget_queue_draw(surface.window);
  return true;
}

void WaylandOverlay::hideMark() {
  mark_.reset();
  markImage_.reset();
  for (const Surface& surface : surfaces_) gtk_widget_queue_draw(surface.window);
}

OverlayEventTap::~OverlayEventTap() {
  overlay_.uncover();
  overlay_.setClient(nullptr, nullptr);
}

// A cover the compositor broke is not put up again: the lock ends instead.
// A cover left up for a retake keeps its client: what reaches it meanwhile
// (a click on the mark) still counts.
bool OverlayEventTap::setEnabled(bool enabled) {
  if (!enabled) {
    overlay_.uncover();
    overlay_.forgetBreak();
    overlay_.setClient(nullptr, nullptr);
    return true;
  }
  if (overlay_.broken()) return false;
  overlay_.setClient(&client_, releases_);
  const bool held = overlay_.cover();
  if (!held && !overlay_.covered()) overlay_.setClient(nullptr, nullptr);
  return held;
}

TapCreation OverlayEventTapFactory::createTap(std::uint64_t, EventTapClient& client) {
  return {std::make_unique<OverlayEventTap>(overlay_, client, releases_), TapRefusal::Privacy,
          ~std::uint64_t{0}};
}

// Drawn on whole pixels, so that its edges stay sharp.
bool CoverUnlockMark::show(Rect frame, const UnlockMarkContent& content) {
  PixelRect rect = toPixelRect(frame, screens_.primaryGeometry());
  rect.x = std::floor(rect.x);
  rect.y = std::floor(rect.y);
  return overlay_.showMark(rect, std::dynamic_pointer_cast<RecordedImage>(content.image));
}

std::optional<Rect> CoverUnlockMark::frame() const {
  const std::optional<PixelRect> mark = overlay_.mark();
  if (!mark) return std::nullopt;
  return toScreenRect(*mark, screens_.primaryGeometry());
}

std::optional<Point> OverlayScreens::pointerLocation() const {
  const std::optional<Point> pointer = overlay_.covered() ? overlay_.pointer() : std::nullopt;
  if (!pointer) return std::nullopt;
  return toScreenPoint(std::floor(pointer->x), std::floor(pointer->y),
                       monitors_.primaryGeometry());
}

}  // namespace hushpad::linux
