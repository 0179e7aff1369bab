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

inline constexpr std::size_t kResetGesturesButton = 0;
AlertContent unreadableBackupAlert(const PlatformWording& wording);

}  // namespace hushpad
