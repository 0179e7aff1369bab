#pragma once
// The whole platform in memory, as one object that answers every platform
// interface and writes what it is asked to do, a line a call, into one log,
// so that a test can check the order of calls across services:
//   "copy any-app/any-host TrackpadPinch", "synchronize D/any-host", "post NAME",
//   "set com.apple.AppleMultitouchTrackpad/current-host TrackpadPinch = 0" ("= removed"),
//   "dataForKey K", "setData K", "removeObject K", "boolForKey K", "setBool K = true",
//   "inputAccess", "promptForAccessibility", "requestInputMonitoring",
//   "holdPowerKeys", "releasePowerKeys", "watch", "unwatch", "requestReview",
//   "applicationWillTerminate", "terminated", "activateIgnoringOtherApps",
//   "showUnlockMark 988 864 48 48", "hideUnlockMark", "synchronizeDefaults",
//   "readKeyboard", "applyKeyboard".
// What a test sets up or looks at are its plain members. The status button,
// the event tap and images are objects of their own, as the interfaces hand
// them out.

#include <algorithm>
#include <array>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "app/platform.h"
#include "gestures/overrides_table.h"
#include "platform/screen_snapshot.h"

namespace hushpad::fakes {

using CallLog = std::vector<std::string>;

// The lines of log that start with prefix.
inline CallLog linesOf(const CallLog& log, std::string_view prefix) {
  CallLog lines;
  std::ranges::copy_if(log, std::back_inserter(lines),
                       [&](const std::string& line) { return line.starts_with(prefix); });
  return lines;
}
inline std::size_t count(const CallLog& log, std::string_view prefix) {
  return linesOf(log, prefix).size();
}
// Where the first line with prefix is in the log; its size when there is none.
inline std::size_t indexOf(const CallLog& log, std::string_view prefix) {
  return static_cast<std::size_t>(std::ranges::find_if(log, [&](const std::string& line) {
                                    return line.starts_with(prefix);
                                  }) - log.begin());
}

// "true", "-1", "1.500000", "unsupported"; "removed" for no value.
inline std::string describe(const std::optional<PreferenceValue>& value) {
  if (!value) return "removed";
  if (const auto* truth = std::get_if<bool>(&*value)) return *truth ? "true" : "false";
  if (const auto* integer = std::get_if<std::int64_t>(&*value)) return std::to_string(*integer);
  if (const auto* real = std::get_if<double>(&*value)) return std::to_string(*real);
  return "unsupported";
}

// "any-app/any-host", "com.apple.AppleMultitouchTrackpad/current-host"; with a key after it.
inline std::string where(const PreferenceAddress& address) {
  return address.application.value_or("any-app") +
         (address.currentHost ? "/current-host" : "/any-host");
}
inline std::string slot(const std::string& key, const PreferenceAddress& a) {
  return where(a) + " " + key;
}

// One call on a RecordingCanvas: the method's name and its numbers, points as
// x then y, colours as red, green, blue, alpha, ovals by minX, minY, maxX, maxY.
struct CanvasCall {
  std::string op;
  std::vector<double> args;
  friend bool operator==(const CanvasCall&, const CanvasCall&) = default;
};

struct RecordingCanvas final : Canvas {
  void setStrokeColor(Color c) override { add("setStroke", {c.red, c.green, c.blue, c.alpha}); }
  void setFillColor(Color c) override { add("setFill", {c.red, c.green, c.blue, c.alpha}); }
  void beginPath() override { add("beginPath"); }
  void setLineWidth(double width) override { add("setLineWidth", {width}); }
  void setRoundCapsAndJoins() override { add("setRoundCapsAndJoins"); }
  void moveTo(Point p) override { add("moveTo", {p.x, p.y}); }
  void lineTo(Point p) override { add("lineTo", {p.x, p.y}); }
  void curveTo(Point end, Point c1, Point c2) override {
    add("curveTo", {end.x, end.y, c1.x, c1.y, c2.x, c2.y});
  }
  void addOval(Rect r) override { add("addOval", {minX(r), minY(r), maxX(r), maxY(r)}); }
  void strokePath() override { add("strokePath"); }
  void fillPath() override { add("fillPath"); }
  void add(std::string op, std::vector<double> args = {}) { calls.push_back({op, args}); }
  std::vector<CanvasCall> calls;
};

// An image that keeps the drawing it was made with.
struct FakeImage final : Image {
  FakeImage(Size s, bool t) : size(s), isTemplate(t) {}
  Size size;
  bool isTemplate;
  RecordingCanvas drawing;
};

// Records what was set on it; a test places it on screen or takes it away.
struct FakeStatusButton final : StatusButton {
  void setTitle(const std::string& t) override { title = t; }
  void setImage(std::shared_ptr<Image> i) override { image = std::move(i); }
  void setImagePosition(ImagePosition p) override { imagePosition = p; }
  void setTarget(ActionTarget* t, Action a) override { target = t, action = a; }
  void sendActionOn(std::uint64_t mask) override { sendActionMask = mask; }
  void setToolTip(const std::string& t) override { toolTip = t; }
  void setAccessibilityLabel(const std::string& l) override { accessibilityLabel = l; }
  void performClick() override {
    if (onPerformClick) onPerformClick();
  }
  std::optional<Rect> screenFrame() const override {
    return inWindow ? std::optional(frame) : std::nullopt;
  }
  bool isVisible() const override { return visible; }

  std::string title = "(unset)";
  std::shared_ptr<Image> image;
  std::optional<ImagePosition> imagePosition;
  ActionTarget* target = nullptr;
  Action action = Action::None;
  std::uint64_t sendActionMask = 0;
  std::string toolTip;
  std::string accessibilityLabel;
  std::function<void()> onPerformClick;  // e.g. choose a menu item
  bool inWindow = true;
  bool visible = true;  // shown and not covered
  Rect frame{{1000, 876}, {24, 24}};
};

struct FakeStatusItem final : StatusItem {
  explicit FakeStatusItem(std::shared_ptr<FakeStatusButton> b) : fakeButton(std::move(b)) {}
  std::shared_ptr<StatusButton> button() override { return fakeButton; }
  void setMenu(const Menu* menu) override {
    attached = menu != nullptr ? std::optional(*menu) : std::nullopt;
    menusAttached += attached ? 1 : 0;
  }
  void setStandingMenu(std::function<Menu()> menu) override { standing = std::move(menu); }
  // Chooses the item titled title of the menu open now, as the user would.
  void choose(const std::string& title) const {
    const auto found = std::ranges::find(attached.value().items, title, &MenuItem::title);
    if (found == attached->items.end()) throw std::logic_error("no menu item " + title);
    found->target->performAction(found->action);
  }
  std::shared_ptr<FakeStatusButton> fakeButton;
  std::optional<Menu> attached;  // the menu the item shows now
  std::function<Menu()> standing;  // the menu a tray host may show by itself
  int menusAttached = 0;
};

// Can refuse to be enabled, as when another client holds the input.
struct FakeEventTap final : EventTap {
  bool setEnabled(bool enable) override {
    enableCalls.push_back(enable);
    if (enable && whileEnabling) whileEnabling();
    if (enable && refuseEnable) return false;
    enabled = enable;
    return true;
  }
  bool enabled = false;
  bool refuseEnable = false;
  std::function<void()> whileEnabling;  // the main loop runs while the input is taken
  std::vector<bool> enableCalls;
};

// The commands and the shortcut: a test sends the requests the OS would.
struct FakeRemoteRequests final : RemoteRequests {
  void listen(ActionTarget* t, const KeyShortcut& p) override { target = t, preferred = p; }
  void stopListening() override { target = nullptr, stopped = true; }
  std::optional<KeyShortcut> grantedShortcut() const override { return granted; }
  void send(Action action) const {
    if (target == nullptr) throw std::logic_error("no one listens");
    target->performAction(action);
  }
  ActionTarget* target = nullptr;
  std::optional<KeyShortcut> preferred;
  std::optional<KeyShortcut> granted;
  bool stopped = false;
};

// A login item whose status a test sets; registering asks for approval when
// approvalNeeded, as SMAppService may.
struct FakeLoginItem final : LoginItem {
  LoginItemStatus status() const override { return current; }
  bool setEnabled(bool enabled) override {
    calls.push_back(enabled ? "register" : "unregister");
    if (refuse) return false;
    current = !enabled             ? LoginItemStatus::Disabled
              : approvalNeeded ? LoginItemStatus::NeedsApproval
                               : LoginItemStatus::Enabled;
    return true;
  }
  void openSettings() override { calls.push_back("openSettings"); }
  LoginItemStatus current = LoginItemStatus::Disabled;
  bool approvalNeeded = false;
  bool refuse = false;
  std::vector<std::string> calls;
};

struct NullPlatform : Application,
                      MainQueue,
                      ReviewPrompt,
                      StatusBar,
                      ImageFactory,
                      PrivacyAccess,
                      AlertPresenter,
                      Workspace,
                      EventTapFactory,
                      LoginSession,
                      Screens,
                      UnlockMarkWindow,
                      KeyboardStateAccess,
                      PreferenceStore,
                      UserDefaults,
                      DistributedNotifications {
  // Every interface is this object (the members of both are all of distinct types).
  InputLockServices inputServices() { return inputServices(*this); }
  // The same with other screens (SnapshotScreens over this one, say).
  InputLockServices inputServices(Screens& screens) {
    return {*this, screens, *this, *this, *this, *this, *this, this, this, this};
  }
  Platform platform() {
    return {*this, *this, *this, inputServices(),           *this,
            *this, *this, *this, makeTrackpadOverridesTable};
  }
  void record(std::string line) { log.push_back(std::move(line)); }
  CallLog log;

  // Application: run() finishes launching, as the real loop does, then runs the script.
  void setDelegate(ApplicationDelegate* d) override { delegate = d; }
  int run() override {
    if (delegate != nullptr) delegate->applicationDidFinishLaunching();
    if (script) script();
    return exitCode;
  }
  void setActivationPolicyAccessory() override { accessoryPolicy = true; }
  std::optional<MouseEventType> currentEventType() override { return currentEvent; }
  void terminate() override {  // as AppKit does it: the delegate hears of it first
    if (delegate != nullptr) record("applicationWillTerminate");
    if (delegate != nullptr) delegate->applicationWillTerminate();
    record("terminated");
  }
  void activateIgnoringOtherApps() override { record("activateIgnoringOtherApps"); }
  ApplicationDelegate* delegate = nullptr;
  std::function<void()> script;
  int exitCode = 0;
  bool accessoryPolicy = false;
  std::optional<MouseEventType> currentEvent;

  // MainQueue: tasks wait until the test runs them, those queued meanwhile too;
  // delayed ones until the test lets time pass.
  void async(std::function<void()> task) override { pending.push_back(std::move(task)); }
  void asyncAfter(double seconds, std::function<void()> task) override {
    later.push_back({seconds, std::move(task)});
  }
  // Lets a second pass: runs the delayed tasks that were due, then the rest.
  void aSecondPasses() {
    std::vector<std::pair<double, std::function<void()>>> due;
    std::swap(due, later);
    for (auto& [seconds, task] : due) {
      if (seconds <= 1) task();
      else later.push_back({seconds - 1, std::move(task)});
    }
    runPending();
  }
  std::vector<std::pair<double, std::function<void()>>> later;
  std::size_t runPending() {  // returns how many ran
    std::size_t ran = 0;
    for (; !pending.empty(); ++ran) {
      const std::function<void()> task = std::move(pending.front());
      pending.pop_front();
      task();
    }
    return ran;
  }
  std::deque<std::function<void()>> pending;

  void requestReview() override { record("requestReview"); }

  // StatusBar: its items share one button, or have none unless withButton.
  std::unique_ptr<StatusItem> statusItem(double length) override {
    lengths.push_back(length);
    auto item = std::make_unique<FakeStatusItem>(withButton ? button : nullptr);
    lastItem = item.get();
    return item;
  }
  bool withButton = true;
  std::shared_ptr<FakeStatusButton> button = std::make_shared<FakeStatusButton>();
  std::vector<double> lengths;         // one per item made
  FakeStatusItem* lastItem = nullptr;  // owned by the delegate

  std::shared_ptr<Image> makeImage(Size size, bool isTemplate,
                                   const std::function<void(Canvas&)>& draw) override {
    images.push_back(std::make_shared<FakeImage>(size, isTemplate));
    draw(images.back()->drawing);
    return images.back();
  }
  std::vector<std::shared_ptr<FakeImage>> images;  // every image made, in order

  // PrivacyAccess: privileges to grant, both granted unless a test says otherwise.
  // A request can grant its privilege, as the user would in the system's prompt.
  InputAccess inputAccess() override {
    record("inputAccess");
    return access;
  }
  void promptForAccessibility() override {
    record("promptForAccessibility");
    access.accessibilityTrusted = accessibilityAfterPrompt.value_or(access.accessibilityTrusted);
  }
  void requestInputMonitoring() override {
    record("requestInputMonitoring");
    access.inputMonitoringGranted =
        inputMonitoringAfterRequest.value_or(access.inputMonitoringGranted);
  }
  InputAccess access{.hasPrivilegesToGrant = true,
                     .accessibilityTrusted = true,
                     .inputMonitoringGranted = true,
                     .sessionCanBeHeld = true};
  std::optional<bool> accessibilityAfterPrompt;
  std::optional<bool> inputMonitoringAfterRequest;

  // AlertPresenter: answers from the queue; dismissed once it is empty.
  std::optional<std::size_t> runModal(const AlertContent& alert) override {
    alerts.push_back(alert);
    if (whileAlertShown) whileAlertShown();
    const std::optional<std::size_t> answer = answers.empty() ? std::nullopt : answers.front();
    if (!answers.empty()) answers.pop_front();
    return answer;
  }
  // "Title [Button] [Button]" for each alert shown.
  std::vector<std::string> alertTitles() const {
    std::vector<std::string> lines;
    for (const AlertContent& alert : alerts) {
      lines.push_back(alert.title);
      for (const std::string& button : alert.buttons) lines.back() += " [" + button + "]";
    }
    return lines;
  }
  std::vector<AlertContent> alerts;
  std::deque<std::optional<std::size_t>> answers;
  std::function<void()> whileAlertShown;

  bool openURL(const std::string& url) override {
    opened.push_back(url);
    return true;
  }
  std::vector<std::string> opened;

  // EventTapFactory: FakeEventTaps, or nothing when the system refuses, for the reason given.
  TapCreation createTap(std::uint64_t mask, EventTapClient& tapClient) override {
    masks.push_back(mask);
    if (refuseCreation) return {nullptr, refusal};
    auto tap = std::make_unique<FakeEventTap>();
    tap->refuseEnable = refuseEnable;
    tap->whileEnabling = whileEnabling;
    lastTap = tap.get();
    client = &tapClient;
    return {std::move(tap), TapRefusal::Privacy, eventsOfInterest};
  }
  bool refuseCreation = false;
  TapRefusal refusal = TapRefusal::Privacy;
  std::uint64_t eventsOfInterest = ~std::uint64_t{0};  // what the system lets a new tap see
  bool refuseEnable = false;                           // given to the taps made from now on
  std::function<void()> whileEnabling;                 // likewise
  std::vector<std::uint64_t> masks;                    // one per attempt, refused ones included
  FakeEventTap* lastTap = nullptr;                     // owned by the controller
  EventTapClient* client = nullptr;

  void holdPowerKeys() override { record("holdPowerKeys"); }
  void releasePowerKeys() override { record("releasePowerKeys"); }
  void watchScreenLockers(ScreenLockerListener* l) override {
    record(l != nullptr ? "watch" : "unwatch");
    listener = l;
  }
  ScreenLockerListener* listener = nullptr;

  std::size_t copyFrames(std::span<Rect> out) const override { return copy(frames, out); }
  std::size_t copyCameraHousings(std::span<Rect> o) const override { return copy(housings, o); }
  static std::size_t copy(const std::vector<Rect>& from, std::span<Rect> out) {
    std::copy_n(from.begin(), std::min(out.size(), from.size()), out.begin());
    return from.size();
  }
  std::optional<Point> pointerLocation() const override { return pointer; }
  bool pointerLocatedOnlyWhileHeld() const override { return pointerOnlyWhileHeld; }
  void setChangeHandler(std::function<void()> changed) override { screensChanged = std::move(changed); }
  std::function<void()> screensChanged;  // what the controller is told by
  std::vector<Rect> frames;
  bool pointerOnlyWhileHeld = false;
  std::vector<Rect> housings;
  std::optional<Point> pointer;  // nothing: the OS cannot tell

  // UnlockMarkWindow: shown unless refused; mark and markContent are what is on screen.
  bool show(Rect frame, const UnlockMarkContent& content) override {
    record("showUnlockMark " + std::to_string(int(minX(frame))) + " " +
           std::to_string(int(minY(frame))) + " " + std::to_string(int(width(frame))) + " " +
           std::to_string(int(height(frame))));
    if (refuseMark) return false;
    mark = frame;
    markContent = content;
    return true;
  }
  void hide() override {
    record("hideUnlockMark");
    mark.reset();
  }
  void keepOnTop(bool keep) override { record(keep ? "keepOnTop true" : "keepOnTop false"); }
  std::optional<Rect> frame() const override { return markNow; }
  std::optional<Rect> markNow;  // where the mark is now, if not where it was shown
  bool refuseMark = false;
  std::optional<Rect> mark;
  UnlockMarkContent markContent;

  // PreferenceStore; put() and value() set up and look, unrecorded.
  std::optional<PreferenceValue> copyValue(const std::string& key,
                                           const PreferenceAddress& address) override {
    record("copy " + slot(key, address));
    if (awayKeys.contains(key)) return PreferenceValue{UnsupportedValue{}};  // cannot be read now
    return value(key, address);
  }
  // A store that drops every write, or those of some keys, as one whose
  // service has gone.
  void setValue(const std::string& key, const std::optional<PreferenceValue>& value,
                const PreferenceAddress& address) override {
    record("set " + slot(key, address) + " = " + describe(value));
    if (dropPreferenceWrites || droppedKeys.contains(key) || lateKeys.contains(key)) return;
    if (value) values.insert_or_assign(slot(key, address), *value);
    if (!value) values.erase(slot(key, address));
  }
  void synchronize(const PreferenceAddress& address) override {
    record("synchronize " + where(address));
    awayKeys.insert(lateKeys.begin(), lateKeys.end());  // their writes' answers did not come
  }
  void put(const std::string& key, const PreferenceAddress& address, PreferenceValue value) {
    values.insert_or_assign(slot(key, address), value);
  }
  std::optional<PreferenceValue> value(const std::string& key, const PreferenceAddress& a) const {
    return values.contains(slot(key, a)) ? std::optional(values.at(slot(key, a))) : std::nullopt;
  }
  std::map<std::string, PreferenceValue> values;  // by slot
  bool dropPreferenceWrites = false;
  std::set<std::string> droppedKeys;
  PreferenceReach reach(const std::string& key, const std::optional<PreferenceValue>&,
                        const PreferenceAddress&) override {
    record("reach " + key);
    if (goneKeys.contains(key)) return PreferenceReach::Never;
    return awayKeys.contains(key) ? PreferenceReach::NotNow : PreferenceReach::Now;
  }
  std::set<std::string> goneKeys;  // keys the store no longer has (their schema removed)
  std::set<std::string> awayKeys;  // keys out of reach now (their device unplugged)
  std::set<std::string> lateKeys;  // writes whose answer is late: out of reach once flushed
  void setPreferencesChangedHandler(std::function<void()> changed) override {
    preferencesChanged = std::move(changed);
  }
  std::function<void()> preferencesChanged;  // what the gesture lock is told by

  // UserDefaults
  StoredData dataForKey(const std::string& key) override {
    record("dataForKey " + key);
    if (unreadableKeys.contains(key)) return {std::nullopt, true};
    return {held<Bytes>(key), false};
  }
  bool synchronize() override {
    record("synchronizeDefaults");
    return !failSynchronize;
  }
  void setData(const std::string& key, std::span<const std::uint8_t> bytes) override {
    record("setData " + key);
    const std::size_t kept = damageDataWrites ? bytes.size() / 2 : bytes.size();
    if (!dropDataWrites) entries.insert_or_assign(key, Bytes(bytes.begin(), bytes.begin() + kept));
  }
  void removeObject(const std::string& key) override {
    record("removeObject " + key);
    entries.erase(key);
  }
  bool boolForKey(const std::string& key) override {
    record("boolForKey " + key);
    return held<bool>(key).value_or(false);
  }
  void setBool(const std::string& key, bool value) override {
    record("setBool " + key + " = " + (value ? "true" : "false"));
    entries.insert_or_assign(key, value);
  }
  template <typename T>  // the value under key when it is of kind T
  std::optional<T> held(const std::string& key) const {
    const auto* found = entries.contains(key) ? std::get_if<T>(&entries.at(key)) : nullptr;
    return found != nullptr ? std::optional(*found) : std::nullopt;
  }
  // The user's three-finger drag, as the rigs set it up: switched off with the
  // backup stored, or the user's again with the backup gone.
  bool gestures(PreferenceValue drag, bool withBackup) const {
    return entries.contains("TrackpadGestureLock.backup.v1") == withBackup &&
           value("TrackpadThreeFingerDrag", {"com.apple.AppleMultitouchTrackpad", false}) == drag;
  }
  bool gesturesOff() const { return gestures(std::int64_t{0}, true); }
  bool gesturesRestored() const { return gestures(true, false); }
  std::map<std::string, std::variant<Bytes, bool>> entries;
  bool dropDataWrites = false;    // setData keeps nothing, as on a full disk
  bool failSynchronize = false;   // the store says its writes did not reach the disk
  std::set<std::string> unreadableKeys;  // reads fail, as on a permission error
  bool damageDataWrites = false;  // setData keeps only the first half

  void post(const std::string& name) override { record("post " + name); }

  // KeyboardStateAccess: the wipe's keys change `keyboard`; apply puts it back.
  KeyboardState read() override {
    record("readKeyboard");
    return keyboard;
  }
  void apply(const KeyboardState& state) override {
    record("applyKeyboard");
    keyboard = state;
  }
  KeyboardState keyboard{.capsLock = false, .numLock = true, .layoutGroup = 0,
                         .stickyKeys = false, .slowKeys = std::nullopt,
                         .mouseKeys = std::nullopt, .bounceKeys = std::nullopt};
};

// Screens shaped as the macOS ones: the OS (another Screens, such as the null
// platform's live frames) is read only at refresh() and at a change it
// reports, and copies are answered from what was read then.
struct SnapshotScreens final : Screens {
  explicit SnapshotScreens(Screens& os) : os(os) {}
  std::size_t copyFrames(std::span<Rect> out) const override { return snapshot.copyFrames(out); }
  std::size_t copyCameraHousings(std::span<Rect> out) const override {
    return snapshot.copyCameraHousings(out);
  }
  std::optional<Point> pointerLocation() const override { return os.pointerLocation(); }
  bool pointerLocatedOnlyWhileHeld() const override { return os.pointerLocatedOnlyWhileHeld(); }
  void refresh() override {
    ++refreshes;
    read();
  }
  void setChangeHandler(std::function<void()> changed) override {
    if (!changed) {
      os.setChangeHandler(nullptr);
      return;
    }
    os.setChangeHandler([this, changed = std::move(changed)] {
      read();
      changed();
    });
  }
  void read() {
    std::array<Rect, kMaxScreens> frames;
    std::array<Rect, kMaxScreens> housings;
    const std::size_t count = os.copyFrames(frames);
    const std::size_t withHousings = std::min(os.copyCameraHousings(housings), housings.size());
    snapshot = {};
    for (std::size_t i = 0; i < count; ++i) {
      const bool kept = i < frames.size();
      snapshot.add(kept ? frames[i] : kNullRect, i < withHousings ? housings[i] : kNullRect);
    }
  }
  Screens& os;
  ScreenSnapshot snapshot;
  int refreshes = 0;  // asked for by the program, not counting the reported changes
};

}  // namespace hushpad::fakes
