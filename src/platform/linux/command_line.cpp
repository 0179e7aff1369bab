#include "platform/linux/command_line.h"

#include <gtk/gtk.h>

#include <cstdio>
#include <memory>

namespace hushpad::linux {
namespace {

constexpr const char* kSummary =
    "Lock the keyboard, mouse buttons, scrolling and touchpad until you click\n"
    "Hushpad's tray icon again, or run 'hushpad --unlock'.";

constexpr const char* kDescription =
    "Hushpad shows an icon in the system tray. Click it to lock: keys, clicks,\n"
    "scrolls and touchpad taps then reach no application, while the pointer still\n"
    "moves. Right-click the unlocked icon for its menu (Lock Now, Start at Login,\n"
    "Quit Hushpad).\n"
    "\n"
    "To lock: click the icon, choose Lock Now, run 'hushpad --lock', or press the\n"
    "desktop's shortcut for Hushpad (Ctrl+Alt+Super+L where the desktop offers\n"
    "global shortcuts). The small \"locked\" mark appears where the pointer was.\n"
    "\n"
    "To unlock: click the tray icon or the \"locked\" mark, or run\n"
    "'hushpad --unlock' from a second terminal or over ssh: the way out should the\n"
    "mark ever be out of reach. No shortcut unlocks.\n"
    "\n"
    "While locked, the touchpad's tap, drag and scrolling settings are switched off.\n"
    "A backup of them in $XDG_CONFIG_HOME/hushpad/ (usually ~/.config/hushpad/)\n"
    "puts them back at unlock, or at the next start if Hushpad ended while locked.\n"
    "\n"
    "See hushpad(1) for more.";

// The options' owner: GLib's context frees its groups with it.
struct ContextDeleter {
  void operator()(GOptionContext* context) const { g_option_context_free(context); }
};

void reportUsageError(const char* message) {
  std::fprintf(stderr, "hushpad: %s\nRun 'hushpad --help' to see the options.\n", message);
}

}  // namespace

std::optional<int> parseCommandLine(int& argc, char**& argv, CommandLineOptions& options) {
  gboolean version = FALSE;
  gboolean xembed = FALSE;
  gboolean lock = FALSE;
  gboolean unlock = FALSE;
  const GOptionEntry entries[] = {
      {"version", 0, G_OPTION_FLAG_NONE, G_OPTION_ARG_NONE, &version,
       "Print the version and exit", nullptr},
      {"lock", 0, G_OPTION_FLAG_NONE, G_OPTION_ARG_NONE, &lock,
       "Ask the running Hushpad to lock; exit 1 if none is running", nullptr},
      {"unlock", 0, G_OPTION_FLAG_NONE, G_OPTION_ARG_NONE, &unlock,
       "Ask the running Hushpad to unlock; exit 1 if none is running", nullptr},
      {"xembed", 0, G_OPTION_FLAG_NONE, G_OPTION_ARG_NONE, &xembed,
       "Show an XEmbed tray icon even where the panel shows StatusNotifierItems", nullptr},
      {},
  };
  const std::unique_ptr<GOptionContext, ContextDeleter> context(g_option_context_new(nullptr));
  g_option_context_set_summary(context.get(), kSummary);
  g_option_context_set_description(context.get(), kDescription);
  g_option_context_add_main_entries(context.get(), entries, nullptr);
  // GTK's options (--display, --gtk-module...), without opening the display.
  g_option_context_add_group(context.get(), gtk_get_option_group(FALSE));

  GError* error = nullptr;
  if (!g_option_context_parse(context.get(), &argc, &argv, &error)) {
    reportUsageError(error->message);
    g_error_free(error);
    return 2;
  }
  if (argc > 1) {
    gchar* message = g_strdup_printf("unexpected argument '%s'", argv[1]);
    reportUsageError(message);
    g_free(message);
    return 2;
  }
  if (lock && unlock) {
    reportUsageError("--lock and --unlock go one at a time");
    return 2;
  }
  options.xembedIcon = xembed;
  options.command = lock     ? CommandLineOptions::Command::Lock
                    : unlock ? CommandLineOptions::Command::Unlock
                             : CommandLineOptions::Command::Start;
  if (version) {
    std::printf("hushpad %s\n", HUSHPAD_VERSION);
    return 0;
  }
  return std::nullopt;
}

}  // namespace hushpad::linux
