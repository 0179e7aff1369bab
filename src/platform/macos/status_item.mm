#include "platform/macos/status_item.h"

#include "platform/macos/image.h"
#include "platform/macos/ns_string.h"
#include "platform/remote_requests.h"

namespace hushpad::macos {
namespace {

NSCellImagePosition toNSCellImagePosition(ImagePosition position) {
  return position == ImagePosition::ImageOnly ? NSImageOnly : NSNoImage;
}

NSMenuItem* makeMenuItem(const MenuItem& item, HushpadBridge* target) {
  NSMenuItem* menuItem =
      item.isSeparator ? [NSMenuItem separatorItem]
                       : [[NSMenuItem alloc] initWithTitle:toDisplayString(item.title)
                                                    action:selectorForAction(item.action)
                                             keyEquivalent:toDisplayString(item.keyEquivalent)];
  menuItem.target = target;
  if (item.isSeparator) return menuItem;
  if (item.keyModifiers != 0) {
    NSEventModifierFlags mask = 0;
    if (item.keyModifiers & kKeyModifierControl) mask |= NSEventModifierFlagControl;
    if (item.keyModifiers & kKeyModifierOption) mask |= NSEventModifierFlagOption;
    if (item.keyModifiers & kKeyModifierShift) mask |= NSEventModifierFlagShift;
    if (item.keyModifiers & kKeyModifierCommand) mask |= NSEventModifierFlagCommand;
    menuItem.keyEquivalentModifierMask = mask;
  }
  if (item.checkable) menuItem.state = item.checked ? NSControlStateValueOn : NSControlStateValueOff;
  return menuItem;
}

}  // namespace

void AppKitStatusButton::setTitle(const std::string& title) {
  [button_ setTitle:toDisplayString(title)];
}

void AppKitStatusButton::setImage(std::shared_ptr<Image> image) {
  const auto* appKitImage = dynamic_cast<const AppKitImage*>(image.get());
  [button_ setImage:appKitImage != nullptr ? appKitImage->nsImage() : nil];
}

void AppKitStatusButton::setImagePosition(ImagePosition position) {
  [button_ setImagePosition:toNSCellImagePosition(position)];
}

void AppKitStatusButton::setTarget(ActionTarget* target, Action action) {
  target_ = [[HushpadBridge alloc] initWithDelegate:nullptr actionTarget:target];
  [button_ setTarget:target_];
  [button_ setAction:selectorForAction(action)];
}

void AppKitStatusButton::sendActionOn(std::uint64_t mask) {
  [button_ sendActionOn:static_cast<NSEventMask>(mask)];
}

void AppKitStatusButton::setToolTip(const std::string& toolTip) {
  [button_ setToolTip:toDisplayString(toolTip)];
}

void AppKitStatusButton::setAccessibilityLabel(const std::string& label) {
  [button_ setAccessibilityLabel:toDisplayString(label)];
}

void AppKitStatusButton::performClick() { [button_ performClick:nil]; }

std::optional<Rect> AppKitStatusButton::screenFrame() const {
  NSStatusBarButton* button = button_;
  NSWindow* window = button.window;
  if (window == nil) return std::nullopt;
  const NSRect inWindow = [button convertRect:button.bounds toView:nil];
  const NSRect onScreen = [window convertRectToScreen:inWindow];
  return makeRect(onScreen.origin.x, onScreen.origin.y, onScreen.size.width, onScreen.size.height);
}

bool AppKitStatusButton::isVisible() const {
  NSStatusItem* item = item_;
  NSWindow* window = button_.window;
  return item != nil && item.isVisible && window != nil && window.isVisible &&
         (window.occlusionState & NSWindowOcclusionStateVisible) != 0;
}

AppKitStatusItem::AppKitStatusItem(NSStatusItem* item) : item_(item) {}

AppKitStatusItem::~AppKitStatusItem() { [[NSStatusBar systemStatusBar] removeStatusItem:item_]; }

std::shared_ptr<StatusButton> AppKitStatusItem::button() {
  if (button_ == nullptr && item_.button != nil) {
    button_ = std::make_shared<AppKitStatusButton>(item_, item_.button);
  }
  return button_;
}

void AppKitStatusItem::setMenu(const Menu* menu) {
  if (menu == nullptr) {
    item_.menu = nil;
    return;
  }
  NSMenu* nsMenu = [[NSMenu alloc] init];
  for (const MenuItem& item : menu->items) {
    [nsMenu addItem:makeMenuItem(item, menuTarget(item.target))];
  }
  item_.menu = nsMenu;
}

HushpadBridge* AppKitStatusItem::menuTarget(ActionTarget* target) {
  HushpadBridge* __strong& bridge = menuTargets_[target];
  if (bridge == nil) bridge = [[HushpadBridge alloc] initWithDelegate:nullptr actionTarget:target];
  return bridge;
}

std::unique_ptr<StatusItem> AppKitStatusBar::statusItem(double length) {
  NSStatusItem* item = [[NSStatusBar systemStatusBar] statusItemWithLength:length];
  newestItem_ = item;
  return std::make_unique<AppKitStatusItem>(item);
}

void AppKitStatusBar::clickNewestItem() {
  NSStatusBarButton* button = newestItem_.button;
  if (button != nil) [button sendAction:button.action to:button.target];
}

}  // namespace hushpad::macos
