#include "platform/linux/workspace.h"

#include <gio/gio.h>

namespace hushpad::linux {

bool DesktopWorkspace::openURL(const std::string& url) {
  if (!g_uri_is_valid(url.c_str(), G_URI_FLAGS_NONE, nullptr)) return false;
  return g_app_info_launch_default_for_uri(url.c_str(), nullptr, nullptr) != FALSE;
}

}  // namespace hushpad::linux
