#pragma once
// A fresh folder for one test, removed with everything in it afterwards.

#include <glib.h>

#include <filesystem>

namespace hushpad::testing {

class TempDir {
 public:
  TempDir() {
    gchar* path = g_dir_make_tmp("hushpad-linux-test-XXXXXX", nullptr);
    path_ = path;
    g_free(path);
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace hushpad::testing
