#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/linux/gnome/shell_link.h"

namespace hushpad::linux {
namespace {

// XDG_CURRENT_DESKTOP is a colon-separated list; GNOME counts only as a whole
// entry (Ubuntu's "ubuntu:GNOME", GNOME Classic's "GNOME-Classic:GNOME").
TEST(GnomeDesktop, IsNamedAsAWholeEntryOfTheList) {
  struct Case {
    const char* value;
    bool gnome;
  };
  const std::vector<Case> cases{
      {"GNOME", true},          {"ubuntu:GNOME", true}, {"GNOME-Classic:GNOME", true},
      {"GNOME:", true},         {"KDE", false},         {"GNOME-Flashback", false},
      {"XFCE:GNOMEish", false}, {"", false},            {nullptr, false},
      {"gnome", false},         {":GNOME", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(isGnomeDesktop(c.value), c.gnome) << (c.value != nullptr ? c.value : "(unset)");
  }
}

// The advice names the build the running Shell loads, and the new login only
// where the Shell needs one (43 and 44 on Wayland); with the version unknown, both.
TEST(GnomeExtensionAdvice, NamesTheBuildOfTheRunningShell) {
  struct Case {
    int version;
    bool modern, legacy, newLogin;
  };
  const std::vector<Case> cases{
      {43, false, true, true}, {44, false, true, true},  {45, true, false, false},
      {48, true, false, false}, {0, true, true, true},
  };
  for (const Case& c : cases) {
    const std::string advice = gnomeExtensionAdvice(c.version);
    const auto names = [&advice](const std::string& uuid) {
      return advice.find("gnome-extensions enable " + uuid + "\n") != std::string::npos;
    };
    EXPECT_EQ(names(kExtensionUuid), c.modern) << c.version << ": " << advice;
    EXPECT_EQ(names(kLegacyExtensionUuid), c.legacy) << c.version << ": " << advice;
    EXPECT_EQ(advice.find("log out and in again") != std::string::npos, c.newLogin)
        << c.version << ": " << advice;
  }
}

}  // namespace
}  // namespace hushpad::linux
