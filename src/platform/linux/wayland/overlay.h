#pragma once
// The input lock on Wayland. No Wayland client can grab the input, but one can
// cover every output with a surface of its own on the layer-shell's overlay
// layer (over windows and panels), take the keyboard exclusively, and ask the
// compositor to keep its own shortcuts for the time. Whatever reaches those
// surfaces goes through the tap's client like X11's grabbed events; the
// pointer moves freely over them. The unlock mark is drawn on them too.
//
// The overlay also tells whether it holds the input, as the display server's
// signs do on X11: the keyboard leaving every surface of the cover, or the
// compositor's shortcuts coming back (the inhibitor going inactive), is
// another program taking the input; the cover coming to hold it again (a
// session lock ended, say) is the input being free again.
// Main thread only; the entry point owns the overlay.

#include <gtk/gtk.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/event_tap.h"
#include "platform/linux/image.h"
#include "platform/linux/login_session.h"
#include "platform/linux/screens.h"
#include "platform/linux/tap_events.h"
#include "platform/linux/watchdog.h"
#include "platform/privacy.h"
#include "platform/unlock_mark.h"

struct wl_registry;
struct zwp_keyboard_shortcuts_inhibit_manager_v1;
struct zwp_keyboard_shortcuts_inhibitor_v1;

namespace hushpad::linux {

// Receives a button release that the client judged an unlocking click.
using OverlayReleaseHandler = std::function<void(MouseEventType type)>;

class WaylandOverlay final : public DisplayLockerSigns {
 public:
  // restart (nullable) starts Hushpad afresh after a stall.
  WaylandOverlay(GdkDisplay* display, const MonitorScreens& screens,
                 const RestartCommand* restart);
  ~WaylandOverlay() override;
  WaylandOverlay(const WaylandOverlay&) = delete;
  WaylandOverlay& operator=(const WaylandOverlay&) = delete;

  // Covers every output and waits, running the main loop, until each surface
  // is mapped and one has the keyboard, and for the pointer to show where it
  // is; false (and nothing covered) when that does not come in time or the
  // cover is lifted meanwhile.
  // Taking the input back during a lock that held it (watch() was given a
  // listener) never waits: the cover is put up, or left up, and the answer is
  // whether it holds the input now; once it comes to hold it, the listener
  // hears that the input may be free. While another program keeps the input
  // (a session lock), each try costs nothing.
  bool cover();
  void uncover();
  bool covered() const { return active_; }
  // The compositor closed a surface of an output that is still there: the
  // cover has a hole and cannot be trusted again.
  bool broken() const { return broken_; }
  void forgetBreak() { broken_ = false; }

  // Where the pointer is on the cover, in layout pixels; nothing before it has
  // shown itself there.
  std::optional<Point> pointer() const { return pointer_; }

  // What reaches the cover goes to client; unlocking releases to releases.
  void setClient(EventTapClient* client, OverlayReleaseHandler releases);

  // The unlock mark at rect (layout pixels), drawn on the cover.
  bool showMark(const PixelRect& rect, std::shared_ptr<RecordedImage> image);
  void hideMark();
  std::optional<PixelRect> mark() const { return mark_; }

  // Starts telling listener whether the cover holds the input, or stops.
  void watch(ScreenLockerListener* listener) override { listener_ = listener; }

 private:
  enum class Shortcuts { Asked, Held, GivenBack };
  void askShortcutsAgain();
  struct Surface {
    GtkWidget* window;
    GdkMonitor* monitor;
    bool mapped = false;
    // The size the compositor gave it; placed once that is its output's (the
    // output of a monitor just plugged in may not know its own size yet).
    int width = 0;
    int height = 0;
    bool placed() const;
    bool focused = false;
    zwp_keyboard_shortcuts_inhibitor_v1* inhibitor = nullptr;
    Shortcuts shortcuts = Shortcuts::Asked;
  };
  static gboolean onEvent(GtkWidget* window, GdkEvent* event, gpointer self);
  static gboolean onDraw(GtkWidget* window, cairo_t* cr, gpointer self);
  static gboolean onDelete(GtkWidget* window, GdkEvent*, gpointer self);
  static void monitorAdded(GdkDisplay*, GdkMonitor* monitor, gpointer self);
  static void monitorRemoved(GdkDisplay*, GdkMonitor* monitor, gpointer self);
  static void monitorResized(GdkMonitor*, GParamSpec*, gpointer self);
  void addSurface(GdkMonitor* monitor);
  Surface* surfaceOf(GtkWidget* window);
  void handleInput(const Surface& surface, GdkEvent* event);
  void holdShortcuts(Surface& surface);
  void dropSurface(const Surface& surface);
  void breakCover();
  static void global(void* self, wl_registry* registry, uint32_t name, const char* interface,
                     uint32_t version);
  static void shortcutsHeld(void* self, zwp_keyboard_shortcuts_inhibitor_v1* inhibitor);
  static void shortcutsGivenBack(void* self, zwp_keyboard_shortcuts_inhibitor_v1* inhibitor);
  static gboolean confirmLoss(gpointer self);
  static gboolean placeDeadline(gpointer self);
  bool ready() const;
  bool keyboardHeld() const;
  // Looks again whether the cover holds the input, after any change to it.
  void checkHold();
  void putUp();
  void stopTimers();

  GdkDisplay* display_;
  const MonitorScreens& screens_;
  std::vector<Surface> surfaces_;
  bool active_ = false;    // up, or being put up, until uncovered
  bool covering_ = false;  // waiting in cover()
  bool held_ = false;      // up and holding the input, as far as it knows
  ScreenLockerListener* listener_ = nullptr;
  guint lossCheck_ = 0;
  guint placeCheck_ = 0;
  // Armed while the cover is up: a stalled main loop never keeps the input.
  StallWatchdog watchdog_;
  unsigned generation_ = 0;
  bool broken_ = false;
  wl_registry* registry_ = nullptr;
  zwp_keyboard_shortcuts_inhibit_manager_v1* shortcuts_ = nullptr;  // where the compositor has it
  std::optional<Point> pointer_;
  Point lastLocation_;
  EventTapClient* client_ = nullptr;
  OverlayReleaseHandler releases_;
  std::optional<PixelRect> mark_;
  std::shared_ptr<RecordedImage> markImage_;
};

class OverlayEventTap final : public EventTap {
 public:
  OverlayEventTap(WaylandOverlay& overlay, EventTapClient& client, OverlayReleaseHandler releases)
      : overlay_(overlay), client_(client), releases_(std::move(releases)) {}
  ~OverlayEventTap() override;
  [[nodiscard]] bool setEnabled(bool enabled) override;

 private:
  WaylandOverlay& overlay_;
  EventTapClient& client_;
  OverlayReleaseHandler releases_;
};

class OverlayEventTapFactory final : public EventTapFactory {
 public:
  OverlayEventTapFactory(WaylandOverlay& overlay, OverlayReleaseHandler releases)
      : overlay_(overlay), releases_(std::move(releases)) {}
  // The mask is not needed: the cover takes all input.
  [[nodiscard]] TapCreation createTap(std::uint64_t mask, EventTapClient& client) override;

 private:
  WaylandOverlay& overlay_;
  OverlayReleaseHandler releases_;
};

// The unlock mark, drawn on the cover while there is one.
class CoverUnlockMark final : public UnlockMarkWindow {
 public:
  CoverUnlockMark(WaylandOverlay& overlay, const MonitorScreens& screens)
      : overlay_(overlay), screens_(screens) {}
  bool show(Rect frame, const UnlockMarkContent& content) override;
  void hide() override { overlay_.hideMark(); }
  // Nothing covers the cover: there is no window to raise.
  void keepOnTop(bool) override {}
  std::optional<Rect> frame() const override;

 private:
  WaylandOverlay& overlay_;
  const MonitorScreens& screens_;
};

// The monitors, and the pointer as the cover sees it: only while the input is held.
class OverlayScreens final : public Screens {
 public:
  OverlayScreens(MonitorScreens& monitors, const WaylandOverlay& overlay)
      : monitors_(monitors), overlay_(overlay) {}
  std::size_t copyFrames(std::span<Rect> out) const override { return monitors_.copyFrames(out); }
  std::optional<Point> pointerLocation() const override;
  bool pointerLocatedOnlyWhileHeld() const override { return true; }
  void setChangeHandler(std::function<void()> changed) override {
    monitors_.setChangeHandler(std::move(changed));
  }

 private:
  MonitorScreens& monitors_;
  const WaylandOverlay& overlay_;
};

// A compositor with the layer-shell lets any client cover the outputs: there
// is nothing to grant. Without it no Wayland client can hold the input.
class LayerShellInputAccess final : public PrivacyAccess {
 public:
  explicit LayerShellInputAccess(bool layerShell) : layerShell_(layerShell) {}
  InputAccess inputAccess() override {
    return {.hasPrivilegesToGrant = false, .sessionCanBeHeld = layerShell_};
  }
  void promptForAccessibility() override {}
  void requestInputMonitoring() override {}

 private:
  bool layerShell_;
};

}  // namespace hushpad::linux
