#include "platform/linux/preference_store.h"

#define G_SETTINGS_ENABLE_BACKEND
#include <gio/gsettingsbackend.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <memory>

#include "temp_dir.h"

namespace hushpad::linux {
namespace {

constexpr const char* kTestSchema = "org.hushpad.test";
const PreferenceAddress kTestAddress{kTestSchema, false};

// GLib reports misuse, such as a value out of a key's range, as a warning.
GLogWriterOutput failOnWarnings(GLogLevelFlags level, const GLogField* fields, gsize count,
                                gpointer) {
  if (level & (G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING)) ADD_FAILURE() << "GLib warned:";
  return g_log_writer_default(level, fields, count, nullptr);
}

// Compiles the test schemas (hushpad-test.gschema.xml) into a folder of their
// own; values live in memory.
class GSettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    [[maybe_unused]] static const bool once = (g_log_set_writer_func(failOnWarnings, {}, {}), true);
    std::filesystem::copy_file(HUSHPAD_TEST_SCHEMAS, temp.path() / "hushpad-test.gschema.xml");
    const std::string compile = "glib-compile-schemas " + temp.path().string();
    gint status = -1;
    ASSERT_TRUE(g_spawn_command_line_sync(compile.c_str(), nullptr, nullptr, &status, nullptr));
    ASSERT_EQ(status, 0);
    schemas.reset(
        g_settings_schema_source_new_from_directory(temp.path().c_str(), nullptr, FALSE, nullptr));
    ASSERT_NE(schemas, nullptr);
    store.emplace(schemas.get(), backend.get());
    GSettingsSchema* schema = g_settings_schema_source_lookup(schemas.get(), kTestSchema, FALSE);
    direct.reset(g_settings_new_full(schema, backend.get(), nullptr));
    g_settings_schema_unref(schema);
  }

  // The user's own value of a test key, read around the store, in GVariant text.
  std::string userValue(const char* key) {
    g_autoptr(GVariant) value = g_settings_get_user_value(direct.get(), key);
    if (value == nullptr) return "unset";
    g_autofree gchar* text = g_variant_print(value, TRUE);
    return text;
  }

  // Released in reverse: the store before what it uses.
  testing::TempDir temp;
  std::unique_ptr<GSettingsSchemaSource, void (*)(GSettingsSchemaSource*)> schemas{
      nullptr, g_settings_schema_source_unref};
  std::unique_ptr<GSettingsBackend, void (*)(gpointer)> backend{g_memory_settings_backend_new(),
                                                                g_object_unref};
  std::unique_ptr<GSettings, void (*)(gpointer)> direct{nullptr, g_object_unref};
  std::optional<GSettingsPreferenceStore> store;
};

// Only an any-host address of a schema with a place of its own leads to a key.
TEST_F(GSettingsStoreTest, WhatNoKeyHoldsReadsAsNothingAndIsNotWritten) {
  g_settings_set_boolean(direct.get(), "b", FALSE);
  for (const PreferenceAddress& address :
       {PreferenceAddress{"org.hushpad.missing", false}, PreferenceAddress{kTestSchema, true},
        PreferenceAddress{std::nullopt, false},
        PreferenceAddress{"org.hushpad.relocatable", false}}) {
    EXPECT_EQ(store->copyValue("b", address), std::nullopt);
    store->setValue("b", true, address);
  }
  EXPECT_EQ(userValue("b"), "false");
  EXPECT_EQ(store->copyValue("missing", kTestAddress), std::nullopt);
  store->setValue("missing", true, kTestAddress);  // GSettings itself would abort
}

constexpr std::int64_t kInt64Min = std::numeric_limits<std::int64_t>::min();

struct Kind {
  const char* key;
  const char* userValue;  // in GVariant text; nullptr: GSettings cannot hold value
  PreferenceValue value;
};

class GSettingsKindTest : public GSettingsStoreTest, public ::testing::WithParamInterface<Kind> {};

// A value the program can hold writes as userValue; userValue reads as value.
TEST_P(GSettingsKindTest, EachValueTypeReadsAndWritesWithinItsRangeOnly) {
  const auto& [key, text, value] = GetParam();
  const bool writable = text != nullptr && !std::holds_alternative<UnsupportedValue>(value);
  store->setValue(key, value, kTestAddress);
  EXPECT_EQ(userValue(key), writable ? text : "unset");
  if (text == nullptr) return;
  ASSERT_TRUE(g_settings_set_value(direct.get(), key, g_variant_parse(nullptr, text, {}, {}, {})));
  EXPECT_EQ(store->copyValue(key, kTestAddress), value);
}

INSTANTIATE_TEST_SUITE_P(
    Values, GSettingsKindTest,
    ::testing::Values(Kind{"b", "false", false}, Kind{"b", nullptr, 0}, Kind{"y", "byte 0xff", 255},
                      Kind{"y", nullptr, 256}, Kind{"n", "int16 -5", -5},
                      Kind{"q", "uint16 65535", 65535}, Kind{"q", nullptr, -1}, Kind{"i", "-7", -7},
                      Kind{"i", nullptr, true}, Kind{"u", "uint32 4000000000", 4000000000},
                      Kind{"x", "int64 -9223372036854775808", kInt64Min},
                      Kind{"t", "uint64 42", 42}, Kind{"t", nullptr, -1},
                      Kind{"t", "uint64 9223372036854775808", UnsupportedValue{}},
                      Kind{"d", "0.25", 0.25}, Kind{"d", nullptr, 1}, Kind{"level", "10", 10},
                      Kind{"level", nullptr, 11}, Kind{"s", "'text'", UnsupportedValue{}}));

}  // namespace
}  // namespace hushpad::linux
