#pragma once
// The program's own defaults, one small file per key and kind in a folder:
// "<key>.data" holds the bytes of a data value as they are, "<key>.bool" the
// word true or false. Every write goes to a temporary file that is flushed to
// disk and then renamed over the old one, so a file is always whole; the
// temporary files of a write cut short ("<file>.XXXXXX") go at the next start.

#include <optional>
#include <span>
#include <string>

#include "platform/user_defaults.h"

namespace hushpad::linux {

// The key as part of a file name: letters, digits, '.', '_' and '-' stay, every
// other byte becomes %XX.
std::string fileNameForKey(const std::string& key);

class FileUserDefaults final : public UserDefaults {
 public:
  // The folder is made when something is first stored; a write cut short
  // there earlier leaves nothing behind once this is made.
  explicit FileUserDefaults(std::string directory);
  // $XDG_CONFIG_HOME/hushpad, or ~/.config/hushpad.
  static std::string defaultDirectory();

  // A file that exists but cannot be read (a permission or I/O error) is unreadable, not missing.
  StoredData dataForKey(const std::string& key) override;
  void setData(const std::string& key, std::span<const std::uint8_t> data) override;
  void removeObject(const std::string& key) override;
  bool boolForKey(const std::string& key) override;
  void setBool(const std::string& key, bool value) override;

 private:
  std::string pathFor(const std::string& key, const char* kind) const;
  void store(const std::string& key, const char* kind, const char* otherKind,
             std::span<const std::uint8_t> bytes);

  std::string directory_;
};

}  // namespace hushpad::linux
