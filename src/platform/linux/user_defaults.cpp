#include "platform/linux/user_defaults.h"

#include <fcntl.h>
#include <glib.h>
#include <glib/gstdio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace hushpad::linux {
namespace {

constexpr const char* kDataKind = ".data";
constexpr const char* kBoolKind = ".bool";
constexpr const char* kTrue = "true\n";
constexpr const char* kFalse = "false\n";

bool keepsInFileName(unsigned char c) {
  return g_ascii_isalnum(c) || c == '.' || c == '_' || c == '-';
}

void reportFailure(const char* what, const std::string& path, int error) {
  std::fprintf(stderr, "Hushpad: could not %s %s: %s\n", what, path.c_str(), std::strerror(error));
}

StoredData readFile(const std::string& path) {
  gchar* contents = nullptr;
  gsize length = 0;
  GError* error = nullptr;
  if (!g_file_get_contents(path.c_str(), &contents, &length, &error)) {
    // No such file, or a path through something that is no folder: nothing there.
    const bool missing = g_error_matches(error, G_FILE_ERROR, G_FILE_ERROR_NOENT) ||
                         g_error_matches(error, G_FILE_ERROR, G_FILE_ERROR_NOTDIR);
    if (!missing) std::fprintf(stderr, "Hushpad: could not read %s: %s\n", path.c_str(), error->message);
    g_error_free(error);
    return {std::nullopt, !missing};
  }
  Bytes bytes(contents, contents + length);
  g_free(contents);
  return {std::move(bytes), false};
}

// "<name>.data.XXXXXX" or "<name>.bool.XXXXXX": a temporary file of replaceFile.
bool isLeftoverTemporary(const std::string& name) {
  constexpr std::size_t kSuffix = 7;  // ".XXXXXX"
  if (name.size() <= kSuffix || name[name.size() - kSuffix] != '.') return false;
  const std::string stem = name.substr(0, name.size() - kSuffix);
  return stem.ends_with(kDataKind) || stem.ends_with(kBoolKind);
}

void removeLeftoverTemporaries(const std::string& directory) {
  GDir* folder = g_dir_open(directory.c_str(), 0, nullptr);
  if (folder == nullptr) return;
  while (const gchar* name = g_dir_read_name(folder)) {
    if (!isLeftoverTemporary(name)) continue;
    const std::string path = directory + "/" + name;
    if (g_unlink(path.c_str()) != 0) reportFailure("remove", path, errno);
  }
  g_dir_close(folder);
}

bool writeAll(int fd, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes = bytes.subspan(static_cast<std::size_t>(written));
  }
  return true;
}

// A rename is only durable once the folder that holds it is on disk too.
bool syncDirectory(const std::string& directory) {
  const int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = fsync(fd) == 0;
  close(fd);
  return synced;
}

// Writes a temporary file next to path, flushes it and renames it over path.
bool replaceFile(const std::string& directory, const std::string& path,
                 std::span<const std::uint8_t> bytes) {
  std::string temporary = path + ".XXXXXX";
  const int fd = g_mkstemp_full(temporary.data(), O_WRONLY | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  bool ok = writeAll(fd, bytes) && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  ok = ok && rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) {
    const int error = errno;
    g_unlink(temporary.c_str());
    errno = error;
    return false;
  }
  return syncDirectory(directory);
}

std::span<const std::uint8_t> textBytes(const char* text) {
  return {reinterpret_cast<const std::uint8_t*>(text), std::strlen(text)};
}

}  // namespace

std::string fileNameForKey(const std::string& key) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string name;
  for (const char byte : key) {
    const auto c = static_cast<unsigned char>(byte);
    if (keepsInFileName(c)) {
      name += byte;
    } else {
      name += '%';
      name += kHex[c >> 4];
      name += kHex[c & 0xF];
    }
  }
  return name;
}

FileUserDefaults::FileUserDefaults(std::string directory) : directory_(std::move(directory)) {
  removeLeftoverTemporaries(directory_);
}

std::string FileUserDefaults::defaultDirectory() {
  gchar* path = g_build_filename(g_get_user_config_dir(), "hushpad", nullptr);
  std::string directory(path);
  g_free(path);
  return directory;
}

std::string FileUserDefaults::pathFor(const std::string& key, const char* kind) const {
  return directory_ + "/" + fileNameForKey(key) + kind;
}

StoredData FileUserDefaults::dataForKey(const std::string& key) {
  return readFile(pathFor(key, kDataKind));
}

void FileUserDefaults::setData(const std::string& key, std::span<const std::uint8_t> data) {
  store(key, kDataKind, kBoolKind, data);
}

void FileUserDefaults::removeObject(const std::string& key) {
  for (const char* kind : {kDataKind, kBoolKind}) {
    const std::string path = pathFor(key, kind);
    if (g_unlink(path.c_str()) != 0 && errno != ENOENT) reportFailure("remove", path, errno);
  }
  syncDirectory(directory_);
}

bool FileUserDefaults::boolForKey(const std::string& key) {
  const std::optional<Bytes> contents = readFile(pathFor(key, kBoolKind)).bytes;
  const std::span<const std::uint8_t> truth = textBytes(kTrue);
  return contents && std::equal(contents->begin(), contents->end(), truth.begin(), truth.end());
}

void FileUserDefaults::setBool(const std::string& key, bool value) {
  store(key, kBoolKind, kDataKind, textBytes(value ? kTrue : kFalse));
}

// A key holds one value: the file of the other kind goes once the new one is in place.
void FileUserDefaults::store(const std::string& key, const char* kind, const char* otherKind,
                             std::span<const std::uint8_t> bytes) {
  const std::string path = pathFor(key, kind);
  if (g_mkdir_with_parents(directory_.c_str(), 0700) != 0 ||
      !replaceFile(directory_, path, bytes)) {
    reportFailure("save", path, errno);
    return;
  }
  const std::string otherPath = pathFor(key, otherKind);
  if (g_unlink(otherPath.c_str()) == 0) syncDirectory(directory_);
}

}  // namespace hushpad::linux
