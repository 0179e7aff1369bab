#pragma once
// The unlock mark: a small window of the program's own that shows the locked
// mark where the user can click it, whatever a panel does with the status
// item. Borderless, above every window and panel, on every desktop, taking
// no focus. Main thread only; the entry point owns it.

#include <memory>
#include <optional>
#include <string>

#include "geometry.h"
#include "image.h"

namespace hushpad {

struct UnlockMarkContent {
  std::shared_ptr<Image> image;  // drawn to fill the window
  std::string title;
  std::string toolTip;
  std::string accessibilityLabel;
};

class UnlockMarkWindow {
 public:
  virtual ~UnlockMarkWindow() = default;
  // Shows the mark with its frame at frame (screen coordinates, y upward),
  // replacing any shown before. Returns whether it is on screen now.
  [[nodiscard]] virtual bool show(Rect frame, const UnlockMarkContent& content) = 0;
  // Takes it off the screen; nothing when it is not shown.
  virtual void hide() = 0;
  // Where the mark is now, in the screens' coordinates as they are now (they
  // change with the primary screen); nothing when the OS cannot tell, which
  // means where it was shown. Must not allocate: it runs on the event path.
  virtual std::optional<Rect> frame() const { return std::nullopt; }
  // While another program holds the input (a screen locker), the mark stays
  // shown but no longer puts itself above other windows.
  virtual void keepOnTop(bool) {}
};

}  // namespace hushpad
