#include "platform/macos/event_tap.h"

#include <dispatch/dispatch.h>
#include <unistd.h>

#include <vector>

namespace hushpad::macos {
namespace {

using Route = QuartzEventTapFactory::Route;

// The lock may have ended meanwhile (a forced unlock): then the click is dropped.
void deliver(void* context, MouseEventType type) {
  const auto* route = static_cast<const Route*>(context);
  if (route->client != nullptr && route->client->acceptsUnlockClicks()) (*route->unlockClicks)(type);
}
void deliverLeftClick(void* route) { deliver(route, MouseEventType::LeftMouseUp); }
void deliverRightClick(void* route) { deliver(route, MouseEventType::RightMouseUp); }

// Runs on the main thread for every event of the mask and for the
// tap-disabled notifications. It must return quickly: no allocation, no I/O.
// An unlocking click is swallowed and its action sent from the main queue,
// outside this callback.
CGEventRef tapEntry(CGEventTapProxy /*proxy*/, CGEventType type, CGEventRef event,
                    void* userInfo) {
  auto* route = static_cast<Route*>(userInfo);
  if (route == nullptr || route->client == nullptr) return event;
  const CGPoint location = event != nullptr ? CGEventGetLocation(event) : CGPointZero;
  const TapVerdict verdict =
      route->client->eventTapCallback(static_cast<EventType>(type), Point{location.x, location.y});
  if (verdict == TapVerdict::Pass) return event;
  if (verdict == TapVerdict::Unlock) {
    dispatch_async_f(dispatch_get_main_queue(), route,
                     type == kCGEventRightMouseUp ? deliverRightClick : deliverLeftClick);
  }
  return nullptr;
}

// What the system lets this process's newest tap see: it may clear the bits
// of types the process is not trusted with (CGEvent.h). Nothing found: none.
CGEventMask eventsOfInterestOfNewestTap() {
  uint32_t count = 0;
  if (CGGetEventTapList(0, nullptr, &count) != kCGErrorSuccess || count == 0) return 0;
  std::vector<CGEventTapInformation> taps(count);
  if (CGGetEventTapList(count, taps.data(), &count) != kCGErrorSuccess) return 0;
  const pid_t self = getpid();
  const CGEventTapInformation* newest = nullptr;
  for (uint32_t i = 0; i < count && i < taps.size(); ++i) {
    if (taps[i].tappingProcess != self) continue;
    if (newest == nullptr || taps[i].eventTapID > newest->eventTapID) newest = &taps[i];
  }
  return newest != nullptr ? newest->eventsOfInterest : 0;
}

}  // namespace

QuartzEventTap::QuartzEventTap(CFRef<CFMachPortRef> tap, CFRef<CFRunLoopSourceRef> source)
    : tap_(std::move(tap)), source_(std::move(source)) {}

QuartzEventTap::~QuartzEventTap() {
  CGEventTapEnable(tap_.get(), false);
  CFRunLoopRemoveSource(CFRunLoopGetMain(), source_.get(), kCFRunLoopCommonModes);
  CFMachPortInvalidate(tap_.get());
}

bool QuartzEventTap::setEnabled(bool enabled) {
  if (enabled) activity_.begin();
  CGEventTapEnable(tap_.get(), enabled);
  const bool isEnabled = CGEventTapIsEnabled(tap_.get());
  if (!isEnabled) activity_.end();
  return isEnabled == enabled;
}

QuartzEventTapFactory::QuartzEventTapFactory(UnlockClickHandler unlockClicks)
    : unlockClicks_(std::move(unlockClicks)) {}

TapCreation QuartzEventTapFactory::createTap(std::uint64_t mask, EventTapClient& client) {
  // The route outlives the tap: a click queued just before the tap went away
  // still finds it.
  if (!route_) route_ = std::make_unique<Route>(Route{&client, &unlockClicks_});
  route_->client = &client;
  auto tap = CFRef<CFMachPortRef>::adopt(CGEventTapCreate(kCGSessionEventTap,
                                                          kCGHeadInsertEventTap,
                                                          kCGEventTapOptionDefault,
                                                          static_cast<CGEventMask>(mask), tapEntry,
                                                          static_cast<void*>(route_.get())));
  // The system refuses a tap only to a process it does not trust with input.
  if (!tap) return {nullptr, TapRefusal::Privacy};
  auto source =
      CFRef<CFRunLoopSourceRef>::adopt(CFMachPortCreateRunLoopSource(kCFAllocatorDefault, tap.get(), 0));
  if (!source) {
    CFMachPortInvalidate(tap.get());
    return {nullptr, TapRefusal::Privacy};
  }
  // A new tap is active; it stays off until its owner enables it.
  CGEventTapEnable(tap.get(), false);
  CFRunLoopAddSource(CFRunLoopGetMain(), source.get(), kCFRunLoopCommonModes);
  const CGEventMask seen = eventsOfInterestOfNewestTap();
  return {std::make_unique<QuartzEventTap>(std::move(tap), std::move(source)),
          TapRefusal::Privacy, static_cast<std::uint64_t>(seen)};
}

}  // namespace hushpad::macos
