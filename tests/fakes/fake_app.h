#pragma once
// In-memory stand-ins for the application shell's services: the application
// object, the status bar with its item, the review prompt, images, and a
// canvas that records what is drawn on it.
//
// FakeApplication and FakeReviewPrompt write into a CallLog (see
// fake_preferences.h) that can be shared with the other fakes:
//   "activateIgnoringOtherApps", "requestReview", "applicationWillTerminate",
//   "terminated".

#include <algorithm>
#include <array>
#include <functional>
#include <iterator>
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

// One call on a RecordingCanvas. Only the fields of its kind are set.
struct CanvasCall {
  enum class Kind {
    StrokeColor,
    FillColor,
    BeginPath,
    LineWidth,
    RoundCapsAndJoins,
    MoveTo,
    LineTo,
    CurveTo,
    Oval,
    Stroke,
    Fill
  };
  Kind kind = Kind::BeginPath;
  std::array<Point, 3> points{};  // MoveTo, LineTo: [0]; CurveTo: end, c1, c2
  Rect rect{};                    // Oval
  double width = 0;               // LineWidth
  Color color{};                  // StrokeColor, FillColor
  friend bool operator==(const CanvasCall&, const CanvasCall&) = default;
};

class RecordingCanvas final : public Canvas {
 public:
  using Kind = CanvasCall::Kind;

  void setStrokeColor(Color c) override {
    calls.push_back({.kind = Kind::StrokeColor, .color = c});
  }
  void setFillColor(Color c) override { calls.push_back({.kind = Kind::FillColor, .color = c}); }
  void beginPath() override { calls.push_back({.kind = Kind::BeginPath}); }
  void setLineWidth(double w) override { calls.push_back({.kind = Kind::LineWidth, .width = w}); }
  void setRoundCapsAndJoins() override { calls.push_back({.kind = Kind::RoundCapsAndJoins}); }
  void moveTo(Point p) override { calls.push_back({.kind = Kind::MoveTo, .points = {p}}); }
  void lineTo(Point p) override { calls.push_back({.kind = Kind::LineTo, .points = {p}}); }
  void curveTo(Point end, Point c1, Point c2) override {
    calls.push_back({.kind = Kind::CurveTo, .points = {end, c1, c2}});
  }
  void addOval(Rect r) override { calls.push_back({.kind = Kind::Oval, .rect = r}); }
  void strokePath() override { calls.push_back({.kind = Kind::Stroke}); }
  void fillPath() override { calls.push_back({.kind = Kind::Fill}); }

  std::vector<CanvasCall> callsOf(Kind kind) const {
    std::vector<CanvasCall> out;
    std::ranges::copy_if(calls, std::back_inserter(out),
                         [kind](const CanvasCall& c) { return c.kind == kind; });
    return out;
  }
  std::size_t count(Kind kind) const { return callsOf(kind).size(); }

  std::vector<CanvasCall> calls;
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

// Records what the delegate asks of the application. run() calls the
// delegate's applicationDidFinishLaunching, as launching does, then the
// script, and returns exitCode.
class FakeApplication final : public Application {
 public:
  FakeApplication() = default;
  explicit FakeApplication(std::shared_ptr<CallLog> log) : log_(std::move(log)) {}

  void setDelegate(ApplicationDelegate* d) override { delegate = d; }
  int run() override {
    ++runCount;
    if (delegate != nullptr) delegate->applicationDidFinishLaunching();
    if (script) script();
    return exitCode;
  }
  void setActivationPolicyAccessory() override { accessoryPolicy = true; }
  std::optional<MouseEventType> currentEventType() override { return currentEvent; }
  // Termination as AppKit does it: the delegate hears of it first.
  void terminate() override {
    if (delegate != nullptr) {
      log_->add("applicationWillTerminate");
      delegate->applicationWillTerminate();
    }
    log_->add("terminated");
    terminated = true;
  }
  void activateIgnoringOtherApps() override {
    log_->add("activateIgnoringOtherApps");
    ++activateCount;
  }

  CallLog& log() { return *log_; }

  ApplicationDelegate* delegate = nullptr;
  std::function<void()> script;
  int exitCode = 0;
  int runCount = 0;
  bool accessoryPolicy = false;
  std::optional<MouseEventType> currentEvent;
  bool terminated = false;
  int activateCount = 0;

 private:
  std::shared_ptr<CallLog> log_ = std::make_shared<CallLog>();
};

class FakeReviewPrompt final : public ReviewPrompt {
 public:
  FakeReviewPrompt() = default;
  explicit FakeReviewPrompt(std::shared_ptr<CallLog> log) : log_(std::move(log)) {}

  void requestReview() override {
    log_->add("requestReview");
    ++requestCount;
  }

  CallLog& log() { return *log_; }

  int requestCount = 0;

 private:
  std::shared_ptr<CallLog> log_ = std::make_shared<CallLog>();
};

// A status item whose button (if it has one) is shared with its status bar, so
// tests can reach it. Keeps every menu attached to it.
class FakeStatusItem final : public StatusItem {
 public:
  explicit FakeStatusItem(std::shared_ptr<FakeStatusButton> button)
      : fakeButton(std::move(button)) {}

  std::shared_ptr<StatusButton> button() override { return fakeButton; }
  void setMenu(const Menu* m) override {
    if (m != nullptr) {
      attached = *m;
      menusAttached.push_back(*m);
    } else {
      attached.reset();
      ++menusDetached;
    }
  }

  std::shared_ptr<FakeStatusButton> fakeButton;
  std::optional<Menu> attached;     // the menu the item shows now
  std::vector<Menu> menusAttached;  // every menu ever attached
  int menusDetached = 0;
};

// Chooses the item titled title of the menu now attached to item, as the user
// would while the menu is open: its target performs its action.
inline void chooseMenuItem(const FakeStatusItem& item, const std::string& title) {
  if (!item.attached) throw std::logic_error("no menu is open");
  const auto& items = item.attached->items;
  const auto found =
      std::ranges::find_if(items, [&](const MenuItem& i) { return i.title == title; });
  if (found == items.end()) throw std::logic_error("no menu item " + title);
  found->target->performAction(found->action);
}

// Makes FakeStatusItems that all share `button`, or have none when
// withButton is false. Keeps a plain pointer to the newest item, which its
// owner keeps alive.
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
