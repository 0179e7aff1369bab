#pragma once
// The system preference store of a Linux desktop: GSettings. A preference's
// application names the schema; the key is the schema's key. GSettings keeps
// one value per user for every host, so only any-host addresses lead anywhere.

#include <gio/gio.h>

#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "gestures/preference_records.h"
#include "platform/preference_store.h"

namespace hushpad::linux {

// A stored value as the store reports it: booleans, integers of every width
// (as long as they fit 64 signed bits) and doubles; anything else is unsupported.
PreferenceValue preferenceValueFromVariant(GVariant* value);
// A new floating variant of the key's type holding value, or nullptr when the
// value does not fit that type.
GVariant* variantForKeyType(const PreferenceValue& value, const GVariantType* keyType);

class GSettingsPreferenceStore final : public PreferenceStore {
 public:
  // Null arguments stand for the default schema source and backend.
  explicit GSettingsPreferenceStore(GSettingsSchemaSource* schemas = nullptr,
                                    GSettingsBackend* backend = nullptr);
  ~GSettingsPreferenceStore() override;
  GSettingsPreferenceStore(const GSettingsPreferenceStore&) = delete;
  GSettingsPreferenceStore& operator=(const GSettingsPreferenceStore&) = delete;

  // Nothing when the schema or key does not exist or the user has not set it.
  std::optional<PreferenceValue> copyValue(const std::string& key,
                                           const PreferenceAddress& address) override;
  // A value that does not fit the key's type or range is not written.
  void setValue(const std::string& key, const std::optional<PreferenceValue>& value,
                const PreferenceAddress& address) override;
  void synchronize(const PreferenceAddress& address) override;
  PreferenceReach reach(const std::string& key, const std::optional<PreferenceValue>& value,
                        const PreferenceAddress& address) override;

 private:
  struct SchemaKey {
    GSettings* settings;
    GSettingsSchemaKey* key;
  };
  GSettings* settingsFor(const PreferenceAddress& address);
  // Nothing when the address, schema or key does not exist; the key is owned
  // by the caller.
  std::optional<SchemaKey> lookUp(const std::string& key, const PreferenceAddress& address);

  GSettingsSchemaSource* schemas_;
  GSettingsBackend* backend_;
  std::unordered_map<std::string, GSettings*> settings_;  // null for a missing schema
};

// The touchpad settings of the GNOME, Cinnamon and MATE desktops that a lock
// switches off: those boolean keys that exist here, each to be set to false.
std::vector<PreferenceOverride> touchpadOverrides(GSettingsSchemaSource* schemas = nullptr);

}  // namespace hushpad::linux
