#include "platform/linux/autostart.h"

#include <gio/gio.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

namespace hushpad::linux {
namespace {

struct KeyFileDeleter {
  void operator()(GKeyFile* file) const { g_key_file_free(file); }
};

// The Exec key's rules: a path with a reserved character goes in double
// quotes, with " ` $ and \ escaped by a backslash; the file's own escaping
// then doubles every backslash.
std::string execValue(const std::string& command) {
  constexpr std::string_view kPlain =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/._+-";
  if (command.find_first_not_of(kPlain) == std::string::npos) return command;
  std::string quoted = "\"";
  for (const char c : command) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    quoted += c;
  }
  quoted += '"';
  std::string escaped;
  for (const char c : quoted) {
    if (c == '\\') escaped += '\\';
    if (c == '\n') {
      escaped += "\\n";
      continue;
    }
    escaped += c;
  }
  return escaped;
}

}  // namespace

XdgAutostartItem::XdgAutostartItem(std::string folder, std::string command)
    : folder_(std::move(folder)), command_(std::move(command)) {}

std::string XdgAutostartItem::autostartFolder() {
  return std::string(g_get_user_config_dir()) + "/autostart";
}

std::string XdgAutostartItem::ownExecutable() {
  gchar* path = g_file_read_link("/proc/self/exe", nullptr);
  if (path == nullptr) return "hushpad";
  std::string executable = path;
  g_free(path);
  return executable;
}

std::string XdgAutostartItem::entryText(const std::string& command) {
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=Hushpad\n"
         "Comment=Lock the keyboard, mouse and touchpad until you click the tray icon again\n"
         "Exec=" + execValue(command) + "\n"
         "Icon=hushpad\n"
         "Terminal=false\n"
         "NoDisplay=true\n"
         "X-GNOME-Autostart-enabled=true\n";
}

LoginItemStatus XdgAutostartItem::status() const {
  const std::unique_ptr<GKeyFile, KeyFileDeleter> entry(g_key_file_new());
  if (!g_key_file_load_from_file(entry.get(), path().c_str(), G_KEY_FILE_NONE, nullptr)) {
    return LoginItemStatus::Disabled;
  }
  const auto flag = [&](const char* key, bool fallback) {
    GError* error = nullptr;
    const bool value = g_key_file_get_boolean(entry.get(), "Desktop Entry", key, &error);
    if (error == nullptr) return value;
    g_error_free(error);
    return fallback;
  };
  const bool on = !flag("Hidden", false) && flag("X-GNOME-Autostart-enabled", true);
  return on ? LoginItemStatus::Enabled : LoginItemStatus::Disabled;
}

bool XdgAutostartItem::setEnabled(bool enabled) {
  if (!enabled) {
    if (std::remove(path().c_str()) != 0 && errno != ENOENT) {
      std::fprintf(stderr, "Hushpad: could not remove %s: %s\n", path().c_str(),
                   std::strerror(errno));
      return false;
    }
    return true;
  }
  if (g_mkdir_with_parents(folder_.c_str(), 0700) != 0) {
    std::fprintf(stderr, "Hushpad: could not make %s: %s\n", folder_.c_str(),
                 std::strerror(errno));
    return false;
  }
  const std::string text = entryText(command_);
  GError* error = nullptr;
  if (!g_file_set_contents_full(
          path().c_str(), text.data(), static_cast<gssize>(text.size()),
          static_cast<GFileSetContentsFlags>(G_FILE_SET_CONTENTS_CONSISTENT |
                                             G_FILE_SET_CONTENTS_DURABLE),
          0644, &error)) {
    std::fprintf(stderr, "Hushpad: could not write %s: %s\n", path().c_str(), error->message);
    g_error_free(error);
    return false;
  }
  return true;
}

}  // namespace hushpad::linux
