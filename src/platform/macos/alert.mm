#include "platform/macos/alert.h"

#import <AppKit/AppKit.h>

#include "platform/macos/ns_string.h"

namespace hushpad::macos {

std::optional<std::size_t> AppKitAlertPresenter::runModal(const AlertContent& content) {
  NSAlert* alert = [[NSAlert alloc] init];
  [alert setMessageText:toDisplayString(content.title)];
  [alert setInformativeText:toDisplayString(content.informativeText)];
  for (const std::string& title : content.buttons) {
    [alert addButtonWithTitle:toDisplayString(title)];
  }
  // A status item's click does not activate an accessory application, and
  // an inactive application's alert opens behind the front windows, deaf to
  // the mouse and the Return key until found.
  [NSApp activateIgnoringOtherApps:YES];
  // Button i answers NSAlertFirstButtonReturn + i. With no buttons given,
  // AppKit adds its own OK button, which is not one of ours.
  const NSModalResponse response = [alert runModal];
  const NSInteger index = response - NSAlertFirstButtonReturn;
  if (index < 0 || static_cast<std::size_t>(index) >= content.buttons.size()) return std::nullopt;
  return static_cast<std::size_t>(index);
}

}  // namespace hushpad::macos
