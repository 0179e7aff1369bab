#pragma once
// The status item's menu as a GTK menu, tracked in a main loop of its own
// until it closes, as AppKit tracks a status item's menu inside the click.

#include <gtk/gtk.h>

#include <functional>

#include "platform/status_item.h"

namespace hushpad::linux {

// Builds menu, lets popup place it on screen, and returns once it has closed
// (at once if popup showed nothing).
void runMenu(const Menu& menu, const std::function<void(GtkMenu*)>& popup);

}  // namespace hushpad::linux
