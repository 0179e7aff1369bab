#include "platform/linux/gnome/shell_layer.h"

#include <cmath>

#include "platform/linux/tap_events.h"

namespace hushpad::linux {
namespace {

// The top bar's icons are 16 pixels; drawn at four times that for any scale.
constexpr int kItemPixels = 64;
// The mark is drawn at twice its size for a scale of 2.
constexpr int kMarkScale = 2;
// Core Graphics' numbers for left and right mouse-ups.
constexpr EventType kLeftMouseUp = 2;
constexpr EventType kRightMouseUp = 4;

class ShellEventTap final : public EventTap {
 public:
  ShellEventTap(ShellEventTaps& taps, EventTapClient& client) : taps_(taps), client_(client) {}
  ~ShellEventTap() override { taps_.forget(client_); }
  [[nodiscard]] bool setEnabled(bool enabled) override {
    return taps_.setEnabled(client_, enabled);
  }

 private:
  ShellEventTaps& taps_;
  EventTapClient& client_;
};

}  // namespace

std::vector<std::uint8_t> renderPng(const Image* image, int pixelSize, const GdkRGBA& color) {
  const auto* recorded = dynamic_cast<const RecordedImage*>(image);
  if (recorded == nullptr) return {};
  GdkPixbuf* pixbuf = recorded->render(pixelSize, color);
  if (pixbuf == nullptr) return {};
  gchar* buffer = nullptr;
  gsize size = 0;
  std::vector<std::uint8_t> png;
  if (gdk_pixbuf_save_to_buffer(pixbuf, &buffer, &size, "png", nullptr, nullptr)) {
    png.assign(reinterpret_cast<const std::uint8_t*>(buffer),
               reinterpret_cast<const std::uint8_t*>(buffer) + size);
    g_free(buffer);
  }
  g_object_unref(pixbuf);
  return png;
}

ShellStatusBar::ShellStatusBar(ShellLink& link, LinuxApplication& application, MainQueue& queue,
                               GdkRGBA itemColor)
    : link_(link), application_(application), queue_(queue), itemColor_(itemColor) {}

ShellStatusBar::~ShellStatusBar() {
  if (const std::shared_ptr<SwitchingStatusButton> button = newestButton_.lock()) {
    button->switchTo(nullptr);
  }
}

std::unique_ptr<StatusItem> ShellStatusBar::statusItem(double) {
  if (const std::shared_ptr<SwitchingStatusButton> old = newestButton_.lock()) {
    old->switchTo(nullptr);
  }
  auto button = std::make_shared<SwitchingStatusButton>(application_, queue_);
  newestButton_ = button;
  auto kind = std::make_unique<ShellItemButton>(link_, *this, itemColor_);
  shown_ = kind.get();
  button->switchTo(std::move(kind));
  return std::make_unique<SwitchingStatusItem>(std::move(button));
}

void ShellStatusBar::deliverMouseUp(MouseEventType type) {
  if (const std::shared_ptr<SwitchingStatusButton> button = newestButton_.lock()) {
    button->mouseUp(type);
  }
}

void ShellStatusBar::itemReleased(unsigned button) {
  if (shown_ != nullptr) shown_->released(button);
}

void ShellStatusBar::menuActivated(unsigned index) {
  if (shown_ != nullptr) shown_->menuActivated(index);
}

void ShellStatusBar::forget(ShellItemButton* button) {
  if (shown_ == button) shown_ = nullptr;
}

void ShellItemButton::setImage(std::shared_ptr<Image> image) {
  image_ = std::move(image);
  send();
}

void ShellItemButton::setToolTip(const std::string& toolTip) {
  toolTip_ = toolTip;
  send();
}

void ShellItemButton::setAccessibilityLabel(const std::string& label) {
  label_ = label;
  send();
}

void ShellItemButton::shown() {
  shown_ = true;
  send();
}

ShellItemButton::~ShellItemButton() {
  if (sendSource_ != 0) g_source_remove(sendSource_);
  bar_.forget(this);
}

void ShellItemButton::send() {
  if (shown_ && sendSource_ == 0) sendSource_ = g_idle_add(sendNow, this);
}

gboolean ShellItemButton::sendNow(gpointer self) {
  auto* button = static_cast<ShellItemButton*>(self);
  button->sendSource_ = 0;
  button->link_.setItem(renderPng(button->image_.get(), kItemPixels, button->color_),
                        button->toolTip_, button->label_);
  return G_SOURCE_REMOVE;
}

void ShellItemButton::setMenu(const Menu* menu) {
  menu_ = menu != nullptr ? std::optional(*menu) : std::nullopt;
}

void ShellItemButton::performClick() {
  if (!menu_) {
    if (sink_) sink_(std::nullopt);
    return;
  }
  openMenu_ = menu_;
  std::vector<ShellLink::MenuEntry> entries;
  for (const MenuItem& item : menu_->items) {
    entries.push_back({item.isSeparator ? "" : item.title, item.checkable, item.checked});
  }
  link_.openMenu(entries);
}

void ShellItemButton::menuActivated(unsigned index) {
  if (!openMenu_ || index >= openMenu_->items.size()) return;
  const MenuItem item = openMenu_->items[index];
  openMenu_.reset();
  if (!item.isSeparator && item.target != nullptr) item.target->performAction(item.action);
}

// Left and right releases; the others are no click of the item's.
void ShellItemButton::released(unsigned button) {
  if ((button == 1 || button == 3) && sink_) sink_(mouseUpType(button));
}

std::optional<Rect> ShellItemButton::screenFrame() const {
  const std::optional<PixelRect> frame = link_.itemFrame();
  if (!frame || link_.monitors().empty()) return std::nullopt;
  return toScreenRect(*frame, link_.primary());
}

bool ShellItemButton::isVisible() const {
  return shown_ && link_.extensionPresent() && link_.itemFrame().has_value();
}

TapCreation ShellEventTaps::createTap(std::uint64_t, EventTapClient& client) {
  return {std::make_unique<ShellEventTap>(*this, client), TapRefusal::Privacy, ~std::uint64_t{0}};
}

bool ShellEventTaps::setEnabled(EventTapClient& client, bool enabled) {
  if (!enabled) {
    if (client_ == &client) {
      client_ = nullptr;
      link_.unlock();
    }
    broken_ = false;
    return true;
  }
  if (broken_) return false;
  client_ = &client;
  if (link_.lock()) return true;
  client_ = nullptr;
  return false;
}

void ShellEventTaps::forget(EventTapClient& client) {
  if (client_ == &client) static_cast<void>(setEnabled(client, false));
}

void ShellEventTaps::coverReleased(unsigned button, Point pixel) {
  if (client_ == nullptr || (button != 1 && button != 3)) return;
  lastLocation_ = toEventLocation(std::floor(pixel.x), std::floor(pixel.y), link_.primary());
  const TapVerdict verdict =
      client_->eventTapCallback(button == 1 ? kLeftMouseUp : kRightMouseUp, lastLocation_);
  if (verdict == TapVerdict::Unlock && releases_) {
    const ShellReleaseHandler releases = releases_;
    releases(mouseUpType(button));
  }
}

// The client hears the tap went off, and finds it will not come back on.
void ShellEventTaps::letGo() {
  if (EventTapClient* client = client_) {
    broken_ = true;
    client_ = nullptr;
    client->eventTapCallback(kEventTapDisabledByUserInput, lastLocation_);
  }
}

std::size_t ShellScreens::copyFrames(std::span<Rect> out) const {
  const std::span<const PixelRect> monitors = link_.monitors();
  const PixelRect primary = link_.primary();
  for (std::size_t i = 0; i < monitors.size() && i < out.size(); ++i) {
    out[i] = toScreenRect(monitors[i], primary);
  }
  return monitors.size();
}

std::optional<Point> ShellScreens::pointerLocation() const {
  const std::optional<Point> pointer = link_.pointer();
  if (!pointer || link_.monitors().empty()) return std::nullopt;
  return toScreenPoint(std::floor(pointer->x), std::floor(pointer->y), link_.primary());
}

// On whole pixels, so that its edges stay sharp.
bool ShellUnlockMark::show(Rect frame, const UnlockMarkContent& content) {
  PixelRect rect = toPixelRect(frame, link_.primary());
  rect.x = std::floor(rect.x);
  rect.y = std::floor(rect.y);
  std::vector<std::uint8_t> png = renderPng(
      content.image.get(), static_cast<int>(std::lround(rect.width)) * kMarkScale,
      GdkRGBA{1, 1, 1, 1});
  if (png.empty()) return false;
  link_.showMark(rect, std::move(png));
  return true;
}

std::optional<Rect> ShellUnlockMark::frame() const {
  const std::optional<PixelRect> mark = link_.mark();
  if (!mark) return std::nullopt;
  return toScreenRect(*mark, link_.primary());
}

}  // namespace hushpad::linux
