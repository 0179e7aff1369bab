#include "platform/macos/application.h"

#include <objc/message.h>

#include <csignal>

namespace hushpad::macos {
namespace {

MouseEventType toMouseEventType(NSEventType type) {
  switch (type) {
    case NSEventTypeLeftMouseDown:
      return MouseEventType::LeftMouseDown;
    case NSEventTypeLeftMouseUp:
      return MouseEventType::LeftMouseUp;
    case NSEventTypeRightMouseDown:
      return MouseEventType::RightMouseDown;
    case NSEventTypeRightMouseUp:
      return MouseEventType::RightMouseUp;
    default:
      return MouseEventType::Other;
  }
}

}  // namespace

void AppKitApplication::setDelegate(ApplicationDelegate* delegate) {
  delegateBridge_ =
      delegate != nullptr ? [[HushpadBridge alloc] initWithDelegate:delegate actionTarget:nullptr] : nil;
  application_.delegate = delegateBridge_;
}

int AppKitApplication::run() {
  // The signals are taken from their default (ending the process at once) and
  // handled on the main queue, where AppKit's termination may run.
  NSApplication* application = application_;
  for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
    std::signal(signalNumber, SIG_IGN);
    dispatch_source_t source = dispatch_source_create(
        DISPATCH_SOURCE_TYPE_SIGNAL, static_cast<uintptr_t>(signalNumber), 0, dispatch_get_main_queue());
    dispatch_source_set_event_handler(source, ^{
      [application terminate:nil];
    });
    dispatch_resume(source);
    signalSources_.push_back(source);
  }
  [application_ run];
  return 0;
}

void AppKitApplication::setActivationPolicyAccessory() {
  [application_ setActivationPolicy:NSApplicationActivationPolicyAccessory];
}

std::optional<MouseEventType> AppKitApplication::currentEventType() {
  NSEvent* event = application_.currentEvent;
  if (event == nil) return std::nullopt;
  return toMouseEventType(event.type);
}

void AppKitApplication::terminate() { [application_ terminate:nil]; }

void AppKitApplication::activateIgnoringOtherApps() {
  [application_ activateIgnoringOtherApps:YES];
}

void DispatchMainQueue::async(std::function<void()> task) {
  dispatch_async(dispatch_get_main_queue(), ^{
    task();
  });
}

void DispatchMainQueue::asyncAfter(double seconds, std::function<void()> task) {
  const auto delay = static_cast<std::int64_t>(seconds * NSEC_PER_SEC);
  dispatch_after(dispatch_time(DISPATCH_TIME_NOW, delay), dispatch_get_main_queue(), ^{
    task();
  });
}

void StoreKitReviewPrompt::requestReview() {
  Class controller = NSClassFromString(@"SKStoreReviewController");
  SEL request = NSSelectorFromString(@"requestReview");
  if (controller == nil || ![controller respondsToSelector:request]) return;
  reinterpret_cast<void (*)(id, SEL)>(objc_msgSend)(controller, request);
}

}  // namespace hushpad::macos
