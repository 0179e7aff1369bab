// Lock and unlock with KWin's touchpads: three touchpads of the stand-in KWin
// (tests/e2e/wayland/kwin_standin.py, a real D-Bus service on a private bus)
// beside GSettings' keys, the backup written to disk as the program does.
// Each lock and each unlock runs in one pass of the main loop, so its time is
// the main loop's block. Aims: under 50 ms each, and KWin waited for no longer
// than the store's budget per pass. Counters: the longest lock or unlock
// ("longest_block_ms") and the longest wait for KWin in one pass
// ("longest_kwin_wait_ms").

#include <benchmark/benchmark.h>

#define G_SETTINGS_ENABLE_BACKEND
#include <gio/gio.h>
#include <gio/gsettingsbackend.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "gestures/trackpad_gesture_lock.h"
#include "platform/linux/kwin_touchpads.h"
#include "platform/linux/notifications.h"
#include "platform/linux/preference_store.h"
#include "platform/linux/user_defaults.h"

namespace {

using namespace hushpad;
using Clock = std::chrono::steady_clock;

// The private bus, the stand-in on it and the stores over it, for the whole run.
struct Rig {
  std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                 ("hushpad-kwin-bench-" + std::to_string(getpid()));
  GTestDBus* bus = nullptr;
  GPid standIn = 0;
  GDBusConnection* connection = nullptr;
  GSettingsBackend* memory = g_memory_settings_backend_new();
  std::unique_ptr<linux::GSettingsPreferenceStore> settings;
  std::unique_ptr<linux::KWinTouchpadStore> kwin;
  std::unique_ptr<linux::RoutingPreferenceStore> routing;
  std::unique_ptr<linux::FileUserDefaults> defaults;
  linux::GSettingsNotifications notifications;
  std::unique_ptr<TrackpadGestureLock> gestures;
  double longestBlockMs = 0;

  Rig() {
    std::filesystem::create_directories(folder);
    bus = g_test_dbus_new(G_TEST_DBUS_NONE);
    g_test_dbus_up(bus);
    const std::string address = g_test_dbus_get_bus_address(bus);
    const std::string log = (folder / "kwin.log").string();
    gchar* argv[] = {const_cast<gchar*>("/usr/bin/python3"), const_cast<gchar*>(HUSHPAD_KWIN_STANDIN),
                     const_cast<gchar*>(log.c_str()), const_cast<gchar*>("--touchpads"),
                     const_cast<gchar*>("3"), nullptr};
    gchar** env = g_environ_setenv(g_get_environ(), "DBUS_SESSION_BUS_ADDRESS", address.c_str(), TRUE);
    g_spawn_async(nullptr, argv, env, G_SPAWN_DEFAULT, nullptr, nullptr, &standIn, nullptr);
    g_strfreev(env);
    for (int i = 0; i < 500 && !ready(log); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    connection = g_dbus_connection_new_for_address_sync(
        address.c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
    settings = std::make_unique<linux::GSettingsPreferenceStore>(nullptr, memory);
    kwin = std::make_unique<linux::KWinTouchpadStore>(connection);
    routing = std::make_unique<linux::RoutingPreferenceStore>(*settings, *kwin);
    defaults = std::make_unique<linux::FileUserDefaults>((folder / "config").string());
    gestures = std::make_unique<TrackpadGestureLock>(
        kGestureBackupDefaultsKey,
        [this] {
          std::vector<PreferenceOverride> rows = linux::touchpadOverrides();
          for (PreferenceOverride& row : kwin->touchpadOverrides()) rows.push_back(std::move(row));
          return rows;
        },
        *routing, *defaults, notifications);
    runMainLoop();
  }
  ~Rig() {
    gestures.reset();
    routing.reset();
    kwin.reset();
    settings.reset();
    g_object_unref(memory);
    if (connection != nullptr) g_object_unref(connection);
    if (standIn != 0) kill(standIn, SIGTERM);
    g_test_dbus_down(bus);
    g_object_unref(bus);
    std::filesystem::remove_all(folder);
  }
  static bool ready(const std::string& log) {
    std::ifstream in(log);
    std::string line;
    while (std::getline(in, line)) {
      if (line == "ready") return true;
    }
    return false;
  }
  // What a pass of the main loop does between the user's clicks.
  static void runMainLoop() {
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
  }
  // f in one pass of the main loop; its time in seconds.
  template <typename F>
  double pass(F f) {
    const auto start = Clock::now();
    f();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    longestBlockMs = std::max(longestBlockMs, seconds * 1000);
    runMainLoop();
    return seconds;
  }
};

Rig& rig() {
  static Rig instance;
  return instance;
}

void report(benchmark::State& state) {
  state.counters["longest_block_ms"] = rig().longestBlockMs;
  state.counters["longest_kwin_wait_ms"] = static_cast<double>(rig().kwin->longestWaitUs()) / 1000;
  state.counters["touchpad_rows"] = static_cast<double>(rig().gestures->overrides().size());
}

void BM_LockWithThreeKWinTouchpads(benchmark::State& state) {
  for (auto _ : state) {
    state.SetIterationTime(rig().pass([] { rig().gestures->lock(); }));
    rig().pass([] { static_cast<void>(rig().gestures->unlock()); });
  }
  if (!rig().gestures->inForce() && rig().gestures->overrides().size() < 6) {
    state.SkipWithError("the stand-in's touchpads were not found");
  }
  report(state);
}

void BM_UnlockWithThreeKWinTouchpads(benchmark::State& state) {
  for (auto _ : state) {
    rig().pass([] { rig().gestures->lock(); });
    GestureRestore restore = GestureRestore::NothingToRestore;
    state.SetIterationTime(rig().pass([&] { restore = rig().gestures->unlock(); }));
    if (restore != GestureRestore::Restored) state.SkipWithError("the unlock did not put everything back");
  }
  report(state);
}

BENCHMARK(BM_LockWithThreeKWinTouchpads)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UnlockWithThreeKWinTouchpads)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
