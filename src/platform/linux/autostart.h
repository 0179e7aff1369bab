#pragma once
// Start at Login on a Linux desktop: a desktop entry in the user's autostart
// folder, $XDG_CONFIG_HOME/autostart/hushpad.desktop, which the session
// starts at login (the XDG autostart rules).

#include <string>

#include "platform/remote_requests.h"

namespace hushpad::linux {

class XdgAutostartItem final : public LoginItem {
 public:
  // folder: where the entry goes (autostartFolder() in the program); command:
  // the program to start, an absolute path.
  XdgAutostartItem(std::string folder, std::string command);
  static std::string autostartFolder();
  // This process's own executable, or "hushpad" when it cannot be read.
  static std::string ownExecutable();

  // Enabled while the entry is there and neither hidden nor switched off
  // (Hidden, X-GNOME-Autostart-enabled).
  LoginItemStatus status() const override;
  // Writes the entry (to a temporary file, flushed, then renamed: a crash
  // leaves the old entry or the new one), or removes it.
  bool setEnabled(bool enabled) override;
  // Nothing to approve.
  void openSettings() override {}

  std::string path() const { return folder_ + "/hushpad.desktop"; }
  // The entry's text, with command quoted as the Exec key wants it.
  static std::string entryText(const std::string& command);

 private:
  std::string folder_;
  std::string command_;
};

}  // namespace hushpad::linux
