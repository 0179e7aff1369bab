#pragma once
// Hushpad's command line, read with GLib's option parser before anything
// touches the display, the tray or a setting: --help, --version and GTK's own
// options (--display...).

#include <optional>

namespace hushpad::linux {

// Reads the options and takes them out of argc and argv. Nothing when Hushpad
// should start; otherwise the status to exit with, once the version (0) or an
// error naming the bad option or argument (2) has been printed. --help and
// GTK's --help-gtk print the usage and end the process with status 0 from
// inside GLib.
std::optional<int> parseCommandLine(int& argc, char**& argv);

}  // namespace hushpad::linux
