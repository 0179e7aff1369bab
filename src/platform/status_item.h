#pragma once
// The status item in the system menu bar (or tray), its button and its menu.
// Main thread only. The status bar hands out items that the caller owns; an
// item owns its button, which others may hold only weakly.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "actions.h"
#include "geometry.h"
#include "image.h"

namespace hushpad {

enum class ImagePosition { NoImage = 0, ImageOnly = 1 };

class StatusButton {
 public:
  virtual ~StatusButton() = default;
  virtual void setTitle(const std::string& title) = 0;
  virtual void setImage(std::shared_ptr<Image> image) = 0;
  virtual void setImagePosition(ImagePosition position) = 0;
  virtual void setTarget(ActionTarget* target, Action action) = 0;
  // Which mouse-up events send the action (kEventMaskLeftMouseUp | ...).
  virtual void sendActionOn(std::uint64_t mask) = 0;
  virtual void setToolTip(const std::string& toolTip) = 0;
  virtual void setAccessibilityLabel(const std::string& label) = 0;
  // Clicks the button as the user would; with a menu attached to its item,
  // shows that menu and returns when it has closed.
  virtual void performClick() = 0;
  // The button's bounds in screen coordinates (origin lower left of the main
  // screen, y upward), computed afresh; nothing when it is not in a window.
  // Must not allocate: it runs on the event tap's path.
  virtual std::optional<Rect> screenFrame() const = 0;
  // Whether the item is shown and its window not covered by another: what is
  // at screenFrame() is the button the user sees. Must not allocate.
  virtual bool isVisible() const = 0;
};

struct MenuItem {
  std::string title;  // empty for a separator
  Action action = Action::None;
  std::string keyEquivalent;  // with the platform's default modifier
  bool isSeparator = false;
  ActionTarget* target = nullptr;
  bool checkable = false;  // shows whether it is checked, with a checkmark
  bool checked = false;
  // The keyEquivalent's modifiers (kKeyModifier...); none: the platform's default.
  std::uint8_t keyModifiers = 0;
  friend bool operator==(const MenuItem&, const MenuItem&) = default;
};

struct Menu {
  std::vector<MenuItem> items;
  friend bool operator==(const Menu&, const Menu&) = default;
};

inline constexpr double kSquareStatusItemLength = -2;

class StatusItem {
 public:
  virtual ~StatusItem() = default;
  // The item's button, owned by the item; nothing when the item has none.
  virtual std::shared_ptr<StatusButton> button() = 0;
  // Attaches a menu (copied), or detaches it with nullptr.
  virtual void setMenu(const Menu* menu) = 0;
  // Gives the menu a tray host may show by itself, without a click reaching
  // this program first: asked for whenever the host may show it, its items act
  // as the click menu's. Items whose host always sends the click ignore it.
  virtual void setStandingMenu(std::function<Menu()> /*menu*/) {}
};

class StatusBar {
 public:
  virtual ~StatusBar() = default;
  virtual std::unique_ptr<StatusItem> statusItem(double length) = 0;
};

}  // namespace hushpad
