#pragma once
// The unlock mark on X11: an override-redirect window of its own, above the
// tray and every other window, on every desktop, never focused. Another
// window raised over it while shown is put back under it. While the input is
// held, clicks reach the grab, not the mark; while it is not (another program
// had it), a click on the mark itself counts as a click on the status item.
// Main thread only; the entry point owns it.

#include <gtk/gtk.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "platform/actions.h"
#include "platform/linux/image.h"
#include "platform/linux/screens.h"
#include "platform/unlock_mark.h"

namespace hushpad::linux {

class OverlayUnlockMark final : public UnlockMarkWindow {
 public:
  using ClickHandler = std::function<void(MouseEventType type)>;
  OverlayUnlockMark(const MonitorScreens& screens, ClickHandler clicks);
  ~OverlayUnlockMark() override;
  OverlayUnlockMark(const OverlayUnlockMark&) = delete;
  OverlayUnlockMark& operator=(const OverlayUnlockMark&) = delete;

  [[nodiscard]] bool show(Rect frame, const UnlockMarkContent& content) override;
  void hide() override;
  void keepOnTop(bool keep) override;
  // Where it was placed, in the screens' coordinates as they are now.
  std::optional<Rect> frame() const override;

 private:
  static gboolean released(GtkWidget*, GdkEventButton* event, gpointer self);
  static gboolean drawn(GtkWidget* widget, cairo_t* cr, gpointer self);
  static GdkFilterReturn rootEvent(GdkXEvent* xevent, GdkEvent*, gpointer self);
  static gboolean raiseIfCovered(gpointer self);
  void watchStacking(bool watch);
  bool isTopmost() const;
  // Without a compositor the window has no alpha: its shape is the plate's.
  void shapeToImage(int width, int height);

  const MonitorScreens& screens_;
  ClickHandler clicks_;
  GtkWidget* window_;
  std::shared_ptr<RecordedImage> image_;
  std::optional<PixelRect> placed_;  // where it was put on the X screen, while shown
  bool watching_ = false;
  GdkEventMask rootEvents_{};
  guint raiseSource_ = 0;
  // Raises in the current second: another window that keeps raising itself
  // is not fought without end.
  std::int64_t raiseSecond_ = 0;
  int raisesThisSecond_ = 0;
};

}  // namespace hushpad::linux
