#pragma once
// In-memory stand-ins for the application shell's services: the application
// object, the main queue, the review prompt, the status bar with its item,
// images, and a canvas that records what is drawn on it.
//
// FakeApplication and FakeReviewPrompt log "applicationWillTerminate",
// "terminated", "activateIgnoringOtherApps" and "requestReview" into a CallLog
// (see fake_preferences.h) that can be shared with the other fakes.

#include <algorithm>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "fakes/fake_preferences.h"
#include "fakes/fake_status_button.h"
#include "platform/application.h"
#include "platform/image.h"
#include "platform/status_item.h"

namespace hushpad::fakes {

// One call on a RecordingCanvas: the method's name and its numbers, points as
// x then y, colours as red, green, blue, alpha.
struct CanvasCall {
  std::string op;
  std::vector<double> args;
  friend bool operator==(const CanvasCall&, const CanvasCall&) = default;
};

class RecordingCanvas final : public Canvas {
 public:
  void setStrokeColor(Color c) override {
    add("setStrokeColor", {c.red, c.green, c.blue, c.alpha});
  }
  void setFillColor(Color c) override { add("setFillColor", {c.red, c.green, c.blue, c.alpha}); }
  void beginPath() override { add("beginPath"); }
  void setLineWidth(double width) override { add("setLineWidth", {width}); }
  void setRoundCapsAndJoins() override { add("setRoundCapsAndJoins"); }
  void moveTo(Point p) override { add("moveTo", {p.x, p.y}); }
  void lineTo(Point p) override { add("lineTo", {p.x, p.y}); }
  void curveTo(Point end, Point c1, Point c2) override {
    add("curveTo", {end.x, end.y, c1.x, c1.y, c2.x, c2.y});
  }
  // The ellipse's rectangle by its corners: minX, minY, maxX, maxY.
  void addOval(Rect r) override { add("addOval", {minX(r), minY(r), maxX(r), maxY(r)}); }
  void strokePath() override { add("strokePath"); }
  void fillPath() override { add("fillPath"); }

  std::vector<CanvasCall> calls;

 private:
  void add(std::string op, std::vector<double> args = {}) {
    calls.push_back({std::move(op), std::move(args)});
  }
};

// An image that keeps the drawing it was made with.
class FakeImage final : public Image {
 public:
  FakeImage(Size s, bool t) : size(s), isTemplate(t) {}
  Size size;
  bool isTemplate;
  RecordingCanvas drawing;
};

class FakeImageFactory final : public ImageFactory {
 public:
  std::shared_ptr<Image> makeImage(Size size, bool isTemplate,
                                   const std::function<void(Canvas&)>& draw) override {
    auto image = std::make_shared<FakeImage>(size, isTemplate);
    draw(image->drawing);
    made.push_back(image);
    return image;
  }

  std::vector<std::shared_ptr<FakeImage>> made;  // every image, in order
};

// run() finishes launching, as the real loop does, then runs the script and
// returns exitCode.
class FakeApplication final : public Application {
 public:
  void setDelegate(ApplicationDelegate* d) override { delegate = d; }
  int run() override {
    if (delegate != nullptr) delegate->applicationDidFinishLaunching();
    if (script) script();
    return exitCode;
  }
  void setActivationPolicyAccessory() override { accessoryPolicy = true; }
  std::optional<MouseEventType> currentEventType() override { return currentEvent; }
  // As AppKit does it: the delegate hears of it first.
  void terminate() override {
    if (delegate != nullptr) {
      log->push_back("applicationWillTerminate");
      delegate->applicationWillTerminate();
    }
    log->push_back("terminated");
  }
  void activateIgnoringOtherApps() override { log->push_back("activateIgnoringOtherApps"); }

  ApplicationDelegate* delegate = nullptr;
  std::function<void()> script;
  int exitCode = 0;
  bool accessoryPolicy = false;
  std::optional<MouseEventType> currentEvent;
  std::shared_ptr<CallLog> log = std::make_shared<CallLog>();
};

// Tasks wait until the test runs them.
class FakeMainQueue final : public MainQueue {
 public:
  void async(std::function<void()> task) override { pending.push_back(std::move(task)); }

  // Runs every waiting task in order, those queued meanwhile too; returns how many ran.
  std::size_t runPending() {
    std::size_t ran = 0;
    for (; !pending.empty(); ++ran) {
      const std::function<void()> task = std::move(pending.front());
      pending.pop_front();
      task();
    }
    return ran;
  }

  std::deque<std::function<void()>> pending;
};

class FakeReviewPrompt final : public ReviewPrompt {
 public:
  void requestReview() override { log->push_back("requestReview"); }

  std::shared_ptr<CallLog> log = std::make_shared<CallLog>();
};

// A status item whose button, if it has one, is its status bar's.
class FakeStatusItem final : public StatusItem {
 public:
  explicit FakeStatusItem(std::shared_ptr<FakeStatusButton> button)
      : fakeButton(std::move(button)) {}

  std::shared_ptr<StatusButton> button() override { return fakeButton; }
  void setMenu(const Menu* menu) override {
    attached = menu != nullptr ? std::optional(*menu) : std::nullopt;
    if (attached) ++menusAttached;
  }

  std::shared_ptr<FakeStatusButton> fakeButton;
  std::optional<Menu> attached;  // the menu the item shows now
  int menusAttached = 0;
};

// Chooses the item titled title of the menu now attached to item, as the user
// would while it is open: its target performs its action.
inline void chooseMenuItem(const FakeStatusItem& item, const std::string& title) {
  if (!item.attached) throw std::logic_error("no menu is open");
  const auto& items = item.attached->items;
  const auto found = std::ranges::find(items, title, &MenuItem::title);
  if (found == items.end()) throw std::logic_error("no menu item " + title);
  found->target->performAction(found->action);
}

// Makes items that share one button, or have none when withButton is false.
// Keeps a plain pointer to the newest item, which its owner keeps alive.
class FakeStatusBar final : public StatusBar {
 public:
  std::unique_ptr<StatusItem> statusItem(double length) override {
    lengths.push_back(length);
    auto item = std::make_unique<FakeStatusItem>(withButton ? button : nullptr);
    lastItem = item.get();
    return item;
  }

  bool withButton = true;
  std::shared_ptr<FakeStatusButton> button = std::make_shared<FakeStatusButton>();
  std::vector<double> lengths;  // one per item made
  FakeStatusItem* lastItem = nullptr;
};

}  // namespace hushpad::fakes
