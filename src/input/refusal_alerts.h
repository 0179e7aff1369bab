#pragma once
// What the user is told when a lock cannot be made, one alert per reason, and
// when the saved trackpad settings cannot be read.

#include "platform/alert.h"
#include "platform/event_tap.h"
#include "platform/wording.h"

namespace hushpad {

// The first button of the privacy refusal opens the Accessibility settings;
// the other refusals have a single "OK".
inline constexpr std::size_t kOpenSettingsButton = 0;

AlertContent lockRefusedAlert(TapRefusal reason, const PlatformWording& wording);

// Locks refused before any tap is made: the icon could not be clicked to
// unlock, or keys would reach another program past the tap.
AlertContent iconHiddenAlert(const PlatformWording& wording);
AlertContent secureKeyboardEntryAlert();

inline constexpr std::size_t kResetGesturesButton = 0;
AlertContent unreadableBackupAlert(const PlatformWording& wording);
// The saved settings were written back but did not all take, or could not be read.
AlertContent settingsNotPutBackAlert(const PlatformWording& wording);
// A password field took the keyboard while locked, so the lock was given up.
AlertContent secureEntryTookKeyboardAlert();

}  // namespace hushpad
