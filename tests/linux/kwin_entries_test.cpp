// The X11 program meets a backup written under Plasma's Wayland session: its
// GSettings keys and KWin's touchpads, restored through the routing store with
// the backup in files, with KWin (the stand-in, a real D-Bus service on a
// private bus) away and then back.

#define G_SETTINGS_ENABLE_BACKEND
#include <gio/gio.h>
#include <gio/gsettingsbackend.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "gestures/backup_codec.h"
#include "gestures/trackpad_gesture_lock.h"
#include "platform/linux/kwin_touchpads.h"
#include "platform/linux/notifications.h"
#include "platform/linux/preference_store.h"
#include "platform/linux/user_defaults.h"
#include "temp_dir.h"

namespace hushpad::linux {
namespace {

constexpr const char* kTouchpadSchema = "org.gnome.desktop.peripherals.touchpad";
const std::string kTouchpad = std::string(kKWinDevicePrefix) + "SynPS/2 Synaptics TouchPad (0002:0007)";

StoredValue saved(const char* application, const char* key, bool was) {
  return StoredValue{{application, key, false}, true, was, std::nullopt, false, std::nullopt};
}

bool holdsLine(const std::filesystem::path& file, const std::string& wanted) {
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    if (line == wanted) return true;
  }
  return false;
}

// Runs the main loop until done() or five seconds.
template <typename F>
bool runUntil(F done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!done() && std::chrono::steady_clock::now() < deadline) {
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return done();
}

class KWinEntriesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GSettingsSchemaSource* schemas = g_settings_schema_source_get_default();
    GSettingsSchema* schema =
        schemas != nullptr ? g_settings_schema_source_lookup(schemas, kTouchpadSchema, TRUE) : nullptr;
    if (schema == nullptr) GTEST_SKIP() << kTouchpadSchema << " is not installed";
    g_settings_schema_unref(schema);
    g_test_dbus_up(bus);
    connection = g_dbus_connection_new_for_address_sync(
        g_test_dbus_get_bus_address(bus),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
    ASSERT_NE(connection, nullptr);
    settings = g_settings_new_with_backend(kTouchpadSchema, backend);
  }
  void TearDown() override {
    if (standIn != 0) kill(standIn, SIGTERM);
    if (settings != nullptr) g_object_unref(settings);
    if (connection != nullptr) g_object_unref(connection);
    g_test_dbus_down(bus);
    g_object_unref(bus);
    g_object_unref(backend);
  }

  // The stand-in with its touchpad as the lock left it.
  void startKWin() {
    std::ofstream(temp.path() / "kwin-state.json")
        << R"({"event7": {"scrollTwoFinger": false, "scrollEdge": false, "tapToClick": true}})";
    const std::string log = (temp.path() / "kwin.log").string();
    const std::string state = (temp.path() / "kwin-state.json").string();
    gchar* argv[] = {const_cast<gchar*>("/usr/bin/python3"), const_cast<gchar*>(HUSHPAD_KWIN_STANDIN),
                     const_cast<gchar*>(log.c_str()), const_cast<gchar*>("--state"),
                     const_cast<gchar*>(state.c_str()), nullptr};
    gchar** env = g_environ_setenv(g_get_environ(), "DBUS_SESSION_BUS_ADDRESS",
                                   g_test_dbus_get_bus_address(bus), TRUE);
    ASSERT_TRUE(g_spawn_async(nullptr, argv, env, G_SPAWN_DEFAULT, nullptr, nullptr, &standIn, nullptr));
    g_strfreev(env);
    ASSERT_TRUE(runUntil([&] { return holdsLine(log, "ready"); }));
  }
  std::string kwinValue(const char* property) {
    GVariant* reply = g_dbus_connection_call_sync(
        connection, "org.kde.KWin", "/org/kde/KWin/InputDevice/event7",
        "org.freedesktop.DBus.Properties", "Get",
        g_variant_new("(ss)", "org.kde.KWin.InputDevice", property), nullptr,
        G_DBUS_CALL_FLAGS_NONE, 1000, nullptr, nullptr);
    if (reply == nullptr) return "none";
    gchar* text = g_variant_print(reply, FALSE);
    std::string result = text;
    g_free(text);
    g_variant_unref(reply);
    return result;
  }
  std::optional<std::vector<StoredValue>> backup() {
    const StoredData data = defaults.dataForKey(kGestureBackupDefaultsKey);
    if (!data.bytes) return std::nullopt;
    return decodeBackup(*data.bytes);
  }

  hushpad::testing::TempDir temp;
  GTestDBus* bus = g_test_dbus_new(G_TEST_DBUS_NONE);
  GDBusConnection* connection = nullptr;
  GSettingsBackend* backend = g_memory_settings_backend_new();
  GSettings* settings = nullptr;
  GPid standIn = 0;
  FileUserDefaults defaults{(temp.path() / "config").string()};
  GSettingsNotifications notifications;
};

// Without KWin on the bus its entries are kept with their values, while
// GSettings' come back; once KWin is there, its entries come back too (told by
// KWin's arrival, with no unlock) and the backup goes.
TEST_F(KWinEntriesTest, TheX11ProgramKeepsKWinsEntriesUntilKWinIsThere) {
  GSettingsPreferenceStore gsettings(nullptr, backend);
  KWinTouchpadStore kwin(connection);
  RoutingPreferenceStore routing(gsettings, kwin);
  TrackpadGestureLock gestures(
      kGestureBackupDefaultsKey, [] { return touchpadOverrides(); }, routing, defaults,
      notifications);
  g_settings_set_boolean(settings, "two-finger-scrolling-enabled", FALSE);  // as the lock left it
  const std::vector<StoredValue> written{saved(kTouchpadSchema, "two-finger-scrolling-enabled", true),
                                         saved(kTouchpad.c_str(), "scrollTwoFinger", true),
                                         saved(kTouchpad.c_str(), "scrollEdge", true)};
  const std::string text = encodeBackup(written);
  defaults.setData(kGestureBackupDefaultsKey,
                   {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});

  EXPECT_EQ(gestures.unlock(), GestureRestore::Pending);
  EXPECT_TRUE(g_settings_get_boolean(settings, "two-finger-scrolling-enabled"));
  EXPECT_EQ(backup(), (std::vector<StoredValue>{written[1], written[2]}));

  startKWin();
  ASSERT_TRUE(runUntil([&] { return !backup(); })) << "KWin's entries were not put back";
  EXPECT_EQ(kwinValue("scrollTwoFinger"), "(<true>,)");
  EXPECT_EQ(kwinValue("scrollEdge"), "(<true>,)");
  EXPECT_LE(kwin.longestWaitUs(), (kKWinBudgetMs + 5) * 1000);
}

// GSettings answers only for its own schemas: a KWin device's entry is not its
// to give up, a key gone from an installed schema is.
TEST_F(KWinEntriesTest, GSettingsNeverGivesUpAnEntryOfAnotherStore) {
  GSettingsPreferenceStore gsettings(nullptr, backend);
  EXPECT_EQ(gsettings.reach("scrollEdge", true, {kTouchpad, false}), PreferenceReach::NotNow);
  EXPECT_EQ(gsettings.reach("gone-key", true, {kTouchpadSchema, false}), PreferenceReach::Never);
  EXPECT_EQ(gsettings.reach("edge-scrolling-enabled", true, {kTouchpadSchema, false}),
            PreferenceReach::Now);
  KWinTouchpadStore away(connection);  // nothing owns org.kde.KWin on this bus
  EXPECT_EQ(away.reach("scrollEdge", true, {kTouchpad, false}), PreferenceReach::NotNow);
  EXPECT_EQ(away.reach("scrollEdge", true, {kTouchpadSchema, false}), PreferenceReach::NotNow);
}

}  // namespace
}  // namespace hushpad::linux
