#include "platform/linux/preference_store.h"

#include <array>
#include <cstdint>
#include <limits>

namespace hushpad::linux {
namespace {

// For the integer types of at most 32 bits.
template <typename T>
bool fits(std::int64_t value) {
  return value >= static_cast<std::int64_t>(std::numeric_limits<T>::min()) &&
         value <= static_cast<std::int64_t>(std::numeric_limits<T>::max());
}

GVariant* integerVariant(std::int64_t value, const GVariantType* type) {
  if (g_variant_type_equal(type, G_VARIANT_TYPE_BYTE) && fits<guint8>(value)) {
    return g_variant_new_byte(static_cast<guint8>(value));
  }
  if (g_variant_type_equal(type, G_VARIANT_TYPE_INT16) && fits<gint16>(value)) {
    return g_variant_new_int16(static_cast<gint16>(value));
  }
  if (g_variant_type_equal(type, G_VARIANT_TYPE_UINT16) && fits<guint16>(value)) {
    return g_variant_new_uint16(static_cast<guint16>(value));
  }
  if (g_variant_type_equal(type, G_VARIANT_TYPE_INT32) && fits<gint32>(value)) {
    return g_variant_new_int32(static_cast<gint32>(value));
  }
  if (g_variant_type_equal(type, G_VARIANT_TYPE_UINT32) && fits<guint32>(value)) {
    return g_variant_new_uint32(static_cast<guint32>(value));
  }
  if (g_variant_type_equal(type, G_VARIANT_TYPE_INT64)) return g_variant_new_int64(value);
  if (g_variant_type_equal(type, G_VARIANT_TYPE_UINT64) && value >= 0) {
    return g_variant_new_uint64(static_cast<guint64>(value));
  }
  return nullptr;
}

// Nothing when no schema is installed at all.
GSettingsSchemaSource* schemaSourceOrDefault(GSettingsSchemaSource* schemas) {
  return schemas != nullptr ? schemas : g_settings_schema_source_get_default();
}

bool isAnyHostApplication(const PreferenceAddress& address) {
  return address.application.has_value() && !address.currentHost;
}

}  // namespace

PreferenceValue preferenceValueFromVariant(GVariant* value) {
  switch (g_variant_classify(value)) {
    case G_VARIANT_CLASS_BOOLEAN:
      return g_variant_get_boolean(value) != FALSE;
    case G_VARIANT_CLASS_BYTE:
      return std::int64_t{g_variant_get_byte(value)};
    case G_VARIANT_CLASS_INT16:
      return std::int64_t{g_variant_get_int16(value)};
    case G_VARIANT_CLASS_UINT16:
      return std::int64_t{g_variant_get_uint16(value)};
    case G_VARIANT_CLASS_INT32:
      return std::int64_t{g_variant_get_int32(value)};
    case G_VARIANT_CLASS_UINT32:
      return std::int64_t{g_variant_get_uint32(value)};
    case G_VARIANT_CLASS_INT64:
      return std::int64_t{g_variant_get_int64(value)};
    case G_VARIANT_CLASS_UINT64: {
      const guint64 unsignedValue = g_variant_get_uint64(value);
      if (unsignedValue > static_cast<guint64>(std::numeric_limits<std::int64_t>::max())) {
        return UnsupportedValue{};
      }
      return static_cast<std::int64_t>(unsignedValue);
    }
    case G_VARIANT_CLASS_DOUBLE:
      return g_variant_get_double(value);
    default:
      return UnsupportedValue{};
  }
}

GVariant* variantForKeyType(const PreferenceValue& value, const GVariantType* keyType) {
  if (const bool* truth = std::get_if<bool>(&value)) {
    return g_variant_type_equal(keyType, G_VARIANT_TYPE_BOOLEAN) ? g_variant_new_boolean(*truth)
                                                                 : nullptr;
  }
  if (const std::int64_t* integer = std::get_if<std::int64_t>(&value)) {
    return integerVariant(*integer, keyType);
  }
  if (const double* number = std::get_if<double>(&value)) {
    return g_variant_type_equal(keyType, G_VARIANT_TYPE_DOUBLE) ? g_variant_new_double(*number)
                                                                : nullptr;
  }
  return nullptr;
}

GSettingsPreferenceStore::GSettingsPreferenceStore(GSettingsSchemaSource* schemas,
                                                   GSettingsBackend* backend)
    : schemas_(schemaSourceOrDefault(schemas)),
      backend_(backend != nullptr ? static_cast<GSettingsBackend*>(g_object_ref(backend))
                                  : nullptr) {
  if (schemas_ != nullptr) g_settings_schema_source_ref(schemas_);
}

GSettingsPreferenceStore::~GSettingsPreferenceStore() {
  for (auto& [id, settings] : settings_) {
    if (settings != nullptr) g_object_unref(settings);
  }
  if (backend_ != nullptr) g_object_unref(backend_);
  if (schemas_ != nullptr) g_settings_schema_source_unref(schemas_);
}

// One GSettings object per schema, made on first use and kept.
GSettings* GSettingsPreferenceStore::settingsFor(const PreferenceAddress& address) {
  if (!isAnyHostApplication(address) || schemas_ == nullptr) return nullptr;
  const std::string& id = *address.application;
  if (const auto found = settings_.find(id); found != settings_.end()) return found->second;
  GSettings* settings = nullptr;
  if (GSettingsSchema* schema = g_settings_schema_source_lookup(schemas_, id.c_str(), TRUE)) {
    // A relocatable schema has no place of its own to keep values.
    if (g_settings_schema_get_path(schema) != nullptr) {
      settings = g_settings_new_full(schema, backend_, nullptr);
    }
    g_settings_schema_unref(schema);
  }
  settings_.emplace(id, settings);
  return settings;
}

std::optional<GSettingsPreferenceStore::SchemaKey> GSettingsPreferenceStore::lookUp(
    const std::string& key, const PreferenceAddress& address) {
  GSettings* settings = settingsFor(address);
  if (settings == nullptr) return std::nullopt;
  GSettingsSchema* schema = nullptr;
  g_object_get(settings, "settings-schema", &schema, nullptr);
  GSettingsSchemaKey* schemaKey = g_settings_schema_has_key(schema, key.c_str())
                                      ? g_settings_schema_get_key(schema, key.c_str())
                                      : nullptr;
  g_settings_schema_unref(schema);
  if (schemaKey == nullptr) return std::nullopt;
  return SchemaKey{settings, schemaKey};
}

std::optional<PreferenceValue> GSettingsPreferenceStore::copyValue(
    const std::string& key, const PreferenceAddress& address) {
  const std::optional<SchemaKey> found = lookUp(key, address);
  if (!found) return std::nullopt;
  g_settings_schema_key_unref(found->key);
  GVariant* value = g_settings_get_user_value(found->settings, key.c_str());
  if (value == nullptr) return std::nullopt;
  const PreferenceValue result = preferenceValueFromVariant(value);
  g_variant_unref(value);
  return result;
}

// GSettings answers for schema ids alone: an address of another store (a
// KWin device's, a current host's) is not its to give up. A schema or key
// missing from an installed set of schemas, or a value its key no longer
// takes, is gone for good.
PreferenceReach GSettingsPreferenceStore::reach(const std::string& key,
                                                const std::optional<PreferenceValue>& value,
                                                const PreferenceAddress& address) {
  if (!isAnyHostApplication(address) || address.application->find('/') != std::string::npos ||
      schemas_ == nullptr) {
    return PreferenceReach::NotNow;
  }
  const std::optional<SchemaKey> found = lookUp(key, address);
  if (!found) return PreferenceReach::Never;
  bool holds = !value.has_value();
  if (value) {
    if (GVariant* variant =
            variantForKeyType(*value, g_settings_schema_key_get_value_type(found->key))) {
      g_variant_ref_sink(variant);
      holds = g_settings_schema_key_range_check(found->key, variant);
      g_variant_unref(variant);
    }
  }
  g_settings_schema_key_unref(found->key);
  return holds ? PreferenceReach::Now : PreferenceReach::Never;
}

void GSettingsPreferenceStore::setValue(const std::string& key,
                                        const std::optional<PreferenceValue>& value,
                                        const PreferenceAddress& address) {
  const std::optional<SchemaKey> found = lookUp(key, address);
  if (!found) return;
  if (!value) {
    g_settings_reset(found->settings, key.c_str());
  } else if (GVariant* variant =
                 variantForKeyType(*value, g_settings_schema_key_get_value_type(found->key))) {
    g_variant_ref_sink(variant);
    if (g_settings_schema_key_range_check(found->key, variant)) {
      g_settings_set_value(found->settings, key.c_str(), variant);
    }
    g_variant_unref(variant);
  }
  g_settings_schema_key_unref(found->key);
}

// GSettings writes through one queue for every schema: flushing it flushes all.
void GSettingsPreferenceStore::synchronize(const PreferenceAddress&) { g_settings_sync(); }

namespace {

struct TouchpadKey {
  const char* schema;
  const char* key;
};

// Tap-to-click and tap-and-drag stay as the user has them: the grab swallows
// taps anyway, and on a touchpad without a button a tap is the only click
// there is to unlock with.
constexpr std::array kTouchpadKeys{
    TouchpadKey{"org.gnome.desktop.peripherals.touchpad", "two-finger-scrolling-enabled"},
    TouchpadKey{"org.gnome.desktop.peripherals.touchpad", "edge-scrolling-enabled"},
    TouchpadKey{"org.cinnamon.desktop.peripherals.touchpad", "two-finger-scrolling-enabled"},
    TouchpadKey{"org.cinnamon.desktop.peripherals.touchpad", "edge-scrolling-enabled"},
    TouchpadKey{"org.mate.peripherals-touchpad", "vertical-two-finger-scrolling"},
    TouchpadKey{"org.mate.peripherals-touchpad", "horizontal-two-finger-scrolling"},
    TouchpadKey{"org.mate.peripherals-touchpad", "vertical-edge-scrolling"},
    TouchpadKey{"org.mate.peripherals-touchpad", "horizontal-edge-scrolling"},
};

bool hasBooleanKey(GSettingsSchemaSource* schemas, const TouchpadKey& candidate) {
  GSettingsSchema* schema = g_settings_schema_source_lookup(schemas, candidate.schema, TRUE);
  if (schema == nullptr) return false;
  bool result = false;
  if (g_settings_schema_has_key(schema, candidate.key)) {
    GSettingsSchemaKey* key = g_settings_schema_get_key(schema, candidate.key);
    result =
        g_variant_type_equal(g_settings_schema_key_get_value_type(key), G_VARIANT_TYPE_BOOLEAN);
    g_settings_schema_key_unref(key);
  }
  g_settings_schema_unref(schema);
  return result;
}

}  // namespace

std::vector<PreferenceOverride> touchpadOverrides(GSettingsSchemaSource* schemas) {
  schemas = schemaSourceOrDefault(schemas);
  std::vector<PreferenceOverride> overrides;
  if (schemas == nullptr) return overrides;
  for (const TouchpadKey& candidate : kTouchpadKeys) {
    if (hasBooleanKey(schemas, candidate)) {
      overrides.push_back({PreferenceKey{candidate.schema, candidate.key, false}, false});
    }
  }
  return overrides;
}

}  // namespace hushpad::linux
