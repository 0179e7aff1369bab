#include "platform/linux/user_defaults.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "temp_dir.h"

namespace hushpad::linux {
namespace {

namespace fs = std::filesystem;
using Names = std::set<std::string>;

std::string fileContents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

Names filesIn(const fs::path& folder) {
  Names names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename());
  return names;
}

class FileUserDefaultsTest : public ::testing::Test {
 protected:
  testing::TempDir temp;
  fs::path folder = temp.path() / "config" / "hushpad";  // made by the first store
  FileUserDefaults defaults{folder.string()};
};

// Each write goes through a temporary file renamed into place: none may be left.
TEST_F(FileUserDefaultsTest, DataRoundTripsByteForByteAndOnlyItsFileRemains) {
  for (const Bytes& data : {Bytes{'[', 0, '\n', 0xFF, ']'}, Bytes{}}) {
    defaults.setData("backup", data);
    EXPECT_EQ(defaults.dataForKey("backup"), data);
    EXPECT_EQ(fileContents(folder / "backup.data"), std::string(data.begin(), data.end()));
    EXPECT_EQ(filesIn(folder), Names{"backup.data"});
  }
  defaults.setData("../escape", {});  // a key never leads out of the folder
  EXPECT_TRUE(fs::exists(folder / "..%2Fescape.data"));
}

// A key holds one value: storing either kind replaces the other.
TEST_F(FileUserDefaultsTest, ATruthValueIsNoDataAndDataIsNoTruthValue) {
  defaults.setBool("key", true);
  EXPECT_TRUE(defaults.boolForKey("key"));
  EXPECT_EQ(defaults.dataForKey("key"), std::nullopt);
  defaults.setData("key", Bytes{'t'});
  EXPECT_FALSE(defaults.boolForKey("key"));
  defaults.setBool("key", false);
  EXPECT_EQ(defaults.dataForKey("key"), std::nullopt);
  EXPECT_EQ(filesIn(folder), Names{"key.bool"});
  defaults.removeObject("key");
  defaults.removeObject("never stored");
  EXPECT_TRUE(filesIn(folder).empty());
}

TEST_F(FileUserDefaultsTest, AnOddTruthFileReadsFalseAndIsLeftAlone) {
  defaults.setBool("key", true);
  for (const std::string odd : {"yes\n", "true", "TRUE\n", "true\ntrue\n", ""}) {
    std::ofstream(folder / "key.bool", std::ios::binary) << odd;
    EXPECT_FALSE(defaults.boolForKey("key")) << '"' << odd << '"';
    EXPECT_EQ(fileContents(folder / "key.bool"), odd);
  }
}

TEST_F(FileUserDefaultsTest, AFolderThatCannotBeMadeStoresNothingAndDoesNotCrash) {
  std::ofstream(temp.path() / "blocked") << "a file where the folder should be";
  FileUserDefaults blocked((temp.path() / "blocked" / "hushpad").string());
  blocked.setData("key", Bytes{'['});
  blocked.setBool("flag", true);
  EXPECT_EQ(blocked.dataForKey("key"), std::nullopt);
  EXPECT_FALSE(blocked.boolForKey("flag"));
}

}  // namespace
}  // namespace hushpad::linux
