#pragma once
// Hushpad's command line, read with GLib's option parser before anything
// touches the display, the tray or a setting: --help, --version and GTK's own
// options (--display...).

#include <optional>

namespace hushpad::linux {

struct CommandLineOptions {
  // An XEmbed tray icon even where the panel shows StatusNotifierItems.
  bool xembedIcon = false;
  // Asks the running Hushpad to lock or to unlock, instead of starting one.
  enum class Command { Start, Lock, Unlock };
  Command command = Command::Start;
};

// Reads the options into options and takes them out of argc and argv. Nothing when Hushpad
// should start or send its command; otherwise the status to exit with, once the version (0) or an
// error naming the bad option or argument (2) has been printed. --help and
// GTK's --help-gtk print the usage and end the process with status 0 from
// inside GLib.
std::optional<int> parseCommandLine(int& argc, char**& argv, CommandLineOptions& options);

}  // namespace hushpad::linux
