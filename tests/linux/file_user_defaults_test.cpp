#include "platform/linux/file_user_defaults.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "gestures/trackpad_gesture_lock.h"
#include "temp_dir.h"

namespace hushpad {
namespace {

using testing::TempDir;
namespace fs = std::filesystem;

const std::string kKey = kGestureBackupDefaultsKey;

Bytes bytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

std::string fileContents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const fs::path& path, const std::string& contents) {
  std::ofstream(path, std::ios::binary) << contents;
}

std::vector<std::string> filesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::ranges::sort(names);
  return names;
}

class FileUserDefaultsTest : public ::testing::Test {
 protected:
  TempDir temp;
  // The folder does not exist until something is stored.
  fs::path folder = temp.path() / "config" / "hushpad";
  FileUserDefaults defaults{folder.string()};
};

TEST_F(FileUserDefaultsTest, DataRoundTripsByteForByteIntoAFileNamedAfterTheKey) {
  const Bytes data{'[', 0, '\n', 0xFF, ']'};
  defaults.setData(kKey, data);
  EXPECT_EQ(defaults.dataForKey(kKey), data);
  EXPECT_EQ(fileContents(folder / (kKey + ".data")), std::string("[\0\n\xFF]", 5));
  EXPECT_EQ(filesIn(folder), std::vector<std::string>{kKey + ".data"}) << "no temporary file left";
}

TEST_F(FileUserDefaultsTest, EmptyDataIsStillData) {
  defaults.setData(kKey, {});
  EXPECT_EQ(defaults.dataForKey(kKey), Bytes{});
}

TEST_F(FileUserDefaultsTest, MissingKeysReadAsNothingAndFalse) {
  EXPECT_EQ(defaults.dataForKey(kKey), std::nullopt);
  EXPECT_FALSE(defaults.boolForKey(kKey));
  defaults.removeObject(kKey);  // nothing to remove is fine
}

TEST_F(FileUserDefaultsTest, ATruthValueIsNoDataAndDataIsNoTruthValue) {
  defaults.setBool(kKey, true);
  EXPECT_TRUE(defaults.boolForKey(kKey));
  EXPECT_EQ(defaults.dataForKey(kKey), std::nullopt);

  defaults.setData(kKey, bytesOf("[]"));
  EXPECT_FALSE(defaults.boolForKey(kKey)) << "storing data replaces the truth value";
  EXPECT_EQ(defaults.dataForKey(kKey), bytesOf("[]"));

  defaults.setBool(kKey, false);
  EXPECT_EQ(defaults.dataForKey(kKey), std::nullopt) << "storing a truth value replaces the data";
  EXPECT_EQ(filesIn(folder), std::vector<std::string>{kKey + ".bool"});
}

TEST_F(FileUserDefaultsTest, RemoveObjectRemovesEitherKind) {
  defaults.setData("a", bytesOf("x"));
  defaults.setBool("b", true);
  defaults.removeObject("a");
  defaults.removeObject("b");
  EXPECT_EQ(defaults.dataForKey("a"), std::nullopt);
  EXPECT_FALSE(defaults.boolForKey("b"));
  EXPECT_TRUE(filesIn(folder).empty());
}

TEST_F(FileUserDefaultsTest, AnUnreadableTruthValueReadsFalseAndIsLeftAlone) {
  defaults.setBool(kKey, true);
  for (const std::string garbage : {"yes\n", "true", "TRUE\n", "true\ntrue\n", ""}) {
    writeFile(folder / (kKey + ".bool"), garbage);
    EXPECT_FALSE(defaults.boolForKey(kKey)) << '"' << garbage << '"';
    EXPECT_EQ(fileContents(folder / (kKey + ".bool")), garbage);
  }
}

TEST(FileUserDefaults, AFolderThatCannotBeMadeStoresNothingAndDoesNotCrash) {
  TempDir temp;
  writeFile(temp.path() / "blocked", "a file where the folder should be");
  FileUserDefaults defaults((temp.path() / "blocked" / "hushpad").string());
  defaults.setData(kKey, bytesOf("[]"));
  defaults.setBool("flag", true);
  EXPECT_EQ(defaults.dataForKey(kKey), std::nullopt);
  EXPECT_FALSE(defaults.boolForKey("flag"));
}

struct KeyName {
  std::string key;
  std::string fileName;
};

class FileNameForKeyTest : public ::testing::TestWithParam<KeyName> {};

TEST_P(FileNameForKeyTest, KeepsSafeCharactersAndEscapesTheRest) {
  EXPECT_EQ(fileNameForKey(GetParam().key), GetParam().fileName);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, FileNameForKeyTest,
    ::testing::Values(KeyName{"TrackpadGestureLock.backup.v1", "TrackpadGestureLock.backup.v1"},
                      KeyName{"a_b-c.9", "a_b-c.9"}, KeyName{"../etc/passwd", "..%2Fetc%2Fpasswd"},
                      KeyName{"100%", "100%25"}, KeyName{"a b", "a%20b"},
                      KeyName{"\xC3\xA9", "%C3%A9"}, KeyName{"", ""}));

TEST(FileNameForKey, DifferentKeysNeverShareAFile) {
  EXPECT_NE(fileNameForKey("a/b"), fileNameForKey("a%2Fb"));
  EXPECT_NE(fileNameForKey("a b"), fileNameForKey("a%20b"));
}

}  // namespace
}  // namespace hushpad
