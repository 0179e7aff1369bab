#include "platform/linux/gsettings_store.h"

#define G_SETTINGS_ENABLE_BACKEND
#include <gio/gsettingsbackend.h>
#include <gtest/gtest.h>

#include <fstream>
#include <limits>

#include "fakes/fake_preferences.h"
#include "gestures/trackpad_gesture_lock.h"
#include "temp_dir.h"

namespace hushpad {
namespace {

using testing::TempDir;

// Stand-ins for the desktops' touchpad schemas, and one of every value type.
constexpr const char* kSchemas = R"(<schemalist>
  <schema id="org.gnome.desktop.peripherals.touchpad" path="/org/gnome/desktop/peripherals/touchpad/">
    <key name="tap-to-click" type="b"><default>false</default></key>
    <key name="tap-and-drag" type="b"><default>true</default></key>
    <key name="two-finger-scrolling-enabled" type="b"><default>true</default></key>
    <key name="speed" type="d"><default>0.0</default></key>
  </schema>
  <schema id="org.mate.peripherals-touchpad" path="/org/mate/desktop/peripherals/touchpad/">
    <key name="tap-to-click" type="i"><default>0</default></key>
    <key name="vertical-edge-scrolling" type="b"><default>false</default></key>
  </schema>
  <schema id="org.hushpad.test" path="/org/hushpad/test/">
    <key name="b" type="b"><default>true</default></key>
    <key name="y" type="y"><default>0</default></key>
    <key name="n" type="n"><default>0</default></key>
    <key name="q" type="q"><default>0</default></key>
    <key name="i" type="i"><default>3</default></key>
    <key name="u" type="u"><default>0</default></key>
    <key name="x" type="x"><default>0</default></key>
    <key name="t" type="t"><default>0</default></key>
    <key name="d" type="d"><default>0.5</default></key>
    <key name="s" type="s"><default>''</default></key>
    <key name="level" type="i"><range min="0" max="10"/><default>5</default></key>
  </schema>
  <schema id="org.hushpad.relocatable">
    <key name="b" type="b"><default>true</default></key>
  </schema>
</schemalist>
)";

constexpr const char* kTestSchema = "org.hushpad.test";
const PreferenceAddress kTestAddress{kTestSchema, false};

// Compiles the schemas into a folder of their own; values live in memory.
class GSettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gchar* compiler = g_find_program_in_path("glib-compile-schemas");
    if (compiler == nullptr) GTEST_SKIP() << "glib-compile-schemas is not installed";
    std::ofstream(temp / "hushpad-test.gschema.xml") << kSchemas;
    gchar* argv[] = {compiler, const_cast<gchar*>(temp.path().c_str()), nullptr};
    gint status = -1;
    ASSERT_TRUE(g_spawn_sync(nullptr, argv, nullptr, G_SPAWN_DEFAULT, nullptr, nullptr, nullptr,
                             nullptr, &status, nullptr));
    g_free(compiler);
    ASSERT_EQ(status, 0);
    schemas =
        g_settings_schema_source_new_from_directory(temp.path().c_str(), nullptr, FALSE, nullptr);
    ASSERT_NE(schemas, nullptr);
    backend = g_memory_settings_backend_new();
    store.emplace(schemas, backend);
    GSettingsSchema* schema = g_settings_schema_source_lookup(schemas, kTestSchema, FALSE);
    direct = g_settings_new_full(schema, backend, nullptr);
    g_settings_schema_unref(schema);
  }

  void TearDown() override {
    store.reset();
    if (direct != nullptr) g_object_unref(direct);
    if (backend != nullptr) g_object_unref(backend);
    if (schemas != nullptr) g_settings_schema_source_unref(schemas);
  }

  // What the user's own value of a test key is, read around the store.
  std::string userValue(const char* key) {
    GVariant* value = g_settings_get_user_value(direct, key);
    if (value == nullptr) return "unset";
    gchar* text = g_variant_print(value, FALSE);
    std::string result = text;
    g_free(text);
    g_variant_unref(value);
    return result;
  }

  TempDir temp;
  GSettingsSchemaSource* schemas = nullptr;
  GSettingsBackend* backend = nullptr;
  GSettings* direct = nullptr;
  std::optional<GSettingsPreferenceStore> store;
};

TEST_F(GSettingsStoreTest, NothingForAMissingSchemaKeyOrUserValue) {
  EXPECT_EQ(store->copyValue("b", {"org.hushpad.missing", false}), std::nullopt);
  EXPECT_EQ(store->copyValue("missing", kTestAddress), std::nullopt);
  EXPECT_EQ(store->copyValue("b", kTestAddress), std::nullopt) << "a default is not the user's";
  store->setValue("missing", true, kTestAddress);  // GSettings would abort on it
}

TEST_F(GSettingsStoreTest, OnlyAnyHostAddressesOfASchemaWithAPlaceLeadAnywhere) {
  g_settings_set_boolean(direct, "b", FALSE);
  EXPECT_EQ(store->copyValue("b", {kTestSchema, true}), std::nullopt);
  EXPECT_EQ(store->copyValue("b", {std::nullopt, false}), std::nullopt);
  EXPECT_EQ(store->copyValue("b", {"org.hushpad.relocatable", false}), std::nullopt);
  store->setValue("b", true, {kTestSchema, true});
  EXPECT_EQ(userValue("b"), "false");
}

struct StoredVariant {
  const char* key;
  const char* text;  // GVariant text format
  PreferenceValue expected;
};

class GSettingsValueTest : public GSettingsStoreTest,
                           public ::testing::WithParamInterface<StoredVariant> {};

TEST_P(GSettingsValueTest, ReportsTheUserValueAsItsKind) {
  const StoredVariant& stored = GetParam();
  GVariant* value = g_variant_parse(nullptr, stored.text, nullptr, nullptr, nullptr);
  ASSERT_TRUE(g_settings_set_value(direct, stored.key, value));
  g_variant_unref(value);
  EXPECT_EQ(store->copyValue(stored.key, kTestAddress), stored.expected) << stored.text;
}

constexpr std::int64_t kInt64Min = std::numeric_limits<std::int64_t>::min();

INSTANTIATE_TEST_SUITE_P(
    Kinds, GSettingsValueTest,
    ::testing::Values(StoredVariant{"b", "false", false}, StoredVariant{"y", "byte 200", 200},
                      StoredVariant{"n", "int16 -5", -5}, StoredVariant{"q", "uint16 65535", 65535},
                      StoredVariant{"i", "-7", -7},
                      StoredVariant{"u", "uint32 4000000000", 4000000000},
                      StoredVariant{"x", "int64 -9223372036854775808", kInt64Min},
                      StoredVariant{"t", "uint64 42", 42},
                      StoredVariant{"t", "uint64 9223372036854775808", UnsupportedValue{}},
                      StoredVariant{"d", "0.25", 0.25},
                      StoredVariant{"s", "'text'", UnsupportedValue{}}));

struct Write {
  const char* key;
  PreferenceValue value;
  const char* expected;  // the user value afterwards
};

class GSettingsWriteTest : public GSettingsStoreTest,
                           public ::testing::WithParamInterface<Write> {};

TEST_P(GSettingsWriteTest, WritesOnlyValuesThatFitTheKey) {
  store->setValue(GetParam().key, GetParam().value, kTestAddress);
  EXPECT_EQ(userValue(GetParam().key), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, GSettingsWriteTest,
    ::testing::Values(Write{"b", false, "false"}, Write{"i", std::int64_t{-7}, "-7"},
                      Write{"y", std::int64_t{255}, "0xff"}, Write{"y", std::int64_t{256}, "unset"},
                      Write{"q", std::int64_t{-1}, "unset"}, Write{"t", std::int64_t{-1}, "unset"},
                      Write{"x", kInt64Min, "-9223372036854775808"}, Write{"d", 0.75, "0.75"},
                      Write{"d", std::int64_t{1}, "unset"}, Write{"b", std::int64_t{0}, "unset"},
                      Write{"i", true, "unset"}, Write{"level", std::int64_t{10}, "10"},
                      Write{"level", std::int64_t{11}, "unset"},
                      Write{"s", UnsupportedValue{}, "unset"}));

TEST_F(GSettingsStoreTest, RemovingRestoresTheDefaultExactly) {
  store->setValue("b", false, kTestAddress);
  store->setValue("b", std::nullopt, kTestAddress);
  EXPECT_EQ(userValue("b"), "unset");
  EXPECT_EQ(store->copyValue("b", kTestAddress), std::nullopt);
}

TEST_F(GSettingsStoreTest, TouchpadOverridesAreTheBooleanKeysThatExist) {
  const std::vector<PreferenceOverride> expected{
      {{"org.gnome.desktop.peripherals.touchpad", "tap-to-click", false}, false},
      {{"org.gnome.desktop.peripherals.touchpad", "tap-and-drag", false}, false},
      {{"org.gnome.desktop.peripherals.touchpad", "two-finger-scrolling-enabled", false}, false},
      {{"org.mate.peripherals-touchpad", "vertical-edge-scrolling", false}, false},
  };
  EXPECT_EQ(touchpadOverrides(schemas), expected);
}

// The whole gesture lock on GSettings: switched off while locked, and afterwards
// exactly what the user had, an unset key unset again.
TEST_F(GSettingsStoreTest, GestureLockRestoresTheUsersTouchpadSettingsExactly) {
  const char* touchpad = "org.gnome.desktop.peripherals.touchpad";
  GSettingsSchema* schema = g_settings_schema_source_lookup(schemas, touchpad, FALSE);
  GSettings* settings = g_settings_new_full(schema, backend, nullptr);
  g_settings_schema_unref(schema);
  g_settings_set_boolean(settings, "tap-to-click", TRUE);
  fakes::FakeUserDefaults defaults;
  fakes::FakeDistributedNotifications notifications;
  TrackpadGestureLock gestureLock(kGestureBackupDefaultsKey, touchpadOverrides(schemas), *store,
                                  defaults, notifications);

  gestureLock.lock();
  for (const char* key : {"tap-to-click", "tap-and-drag", "two-finger-scrolling-enabled"}) {
    GVariant* value = g_settings_get_user_value(settings, key);
    ASSERT_NE(value, nullptr) << key;
    EXPECT_FALSE(g_variant_get_boolean(value)) << key;
    g_variant_unref(value);
  }
  gestureLock.unlock();

  EXPECT_TRUE(g_settings_get_boolean(settings, "tap-to-click"));
  for (const char* key : {"tap-and-drag", "two-finger-scrolling-enabled"}) {
    EXPECT_EQ(g_settings_get_user_value(settings, key), nullptr) << key;
  }
  g_object_unref(settings);
}

}  // namespace
}  // namespace hushpad
