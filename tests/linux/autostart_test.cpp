// The autostart entry that Start at Login writes: what the session reads as
// on or off, the Exec line for any path, and that turning it off removes it.

#include "platform/linux/autostart.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/linux/remote_requests.h"
#include "temp_dir.h"

namespace hushpad::testing {
namespace {

using linux::XdgAutostartItem;

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The Exec value as a launcher reads it back: GLib's own desktop-entry parsing.
std::string execArgument(const std::string& entry) {
  GKeyFile* file = g_key_file_new();
  EXPECT_TRUE(g_key_file_load_from_data(file, entry.data(), entry.size(), G_KEY_FILE_NONE, nullptr));
  gchar* exec = g_key_file_get_string(file, "Desktop Entry", "Exec", nullptr);
  g_key_file_free(file);
  gchar** argv = nullptr;
  gint argc = 0;
  EXPECT_TRUE(g_shell_parse_argv(exec, &argc, &argv, nullptr));
  g_free(exec);
  std::string argument = argc == 1 ? argv[0] : "(" + std::to_string(argc) + " arguments)";
  g_strfreev(argv);
  return argument;
}

TEST(Autostart, TheExecLineGivesBackThePathAsItIs) {
  for (const std::string path : {"/usr/bin/hushpad", "/home/a b/build/hushpad",
                                 "/opt/\"odd\"/$HOME/`x`/back\\slash/hushpad"}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(execArgument(XdgAutostartItem::entryText(path)), path);
  }
}

TEST(Autostart, WritesTheEntryAndRemovesIt) {
  TempDir dir;
  const std::filesystem::path folder = dir.path() / "config" / "autostart";
  XdgAutostartItem item(folder.string(), "/usr/bin/hushpad");
  EXPECT_EQ(item.status(), LoginItemStatus::Disabled);
  ASSERT_TRUE(item.setEnabled(true));
  EXPECT_EQ(item.status(), LoginItemStatus::Enabled);
  EXPECT_EQ(readFile(folder / "hushpad.desktop"), XdgAutostartItem::entryText("/usr/bin/hushpad"));
  // Nothing else is left in the folder (no temporary file).
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder),
                          std::filesystem::directory_iterator()),
            1);
  ASSERT_TRUE(item.setEnabled(false));
  EXPECT_FALSE(std::filesystem::exists(folder / "hushpad.desktop"));
  EXPECT_EQ(item.status(), LoginItemStatus::Disabled);
  EXPECT_TRUE(item.setEnabled(false));  // already gone
}

// An entry the user (or a session's settings) has switched off reads as off.
TEST(Autostart, AHiddenOrSwitchedOffEntryIsOff) {
  struct Case {
    const char* extra;
    LoginItemStatus status;
  };
  const Case cases[] = {
      {"", LoginItemStatus::Enabled},
      {"Hidden=true\n", LoginItemStatus::Disabled},
      {"Hidden=false\n", LoginItemStatus::Enabled},
      {"X-GNOME-Autostart-enabled=false\n", LoginItemStatus::Disabled},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.extra);
    TempDir dir;
    std::ofstream(dir.path() / "hushpad.desktop")
        << "[Desktop Entry]\nType=Application\nName=Hushpad\nExec=hushpad\n" << c.extra;
    EXPECT_EQ(XdgAutostartItem(dir.path().string(), "hushpad").status(), c.status);
  }
}

TEST(GlobalShortcut, ThePreferredTriggerIsWrittenAsThePortalReadsIt) {
  EXPECT_EQ(linux::ApplicationRequests::portalTrigger(
                {"l", kKeyModifierControl | kKeyModifierOption | kKeyModifierCommand}),
            "CTRL+ALT+LOGO+l");
  EXPECT_EQ(linux::ApplicationRequests::portalTrigger({"k", kKeyModifierShift}), "SHIFT+k");
}

}  // namespace
}  // namespace hushpad::testing
