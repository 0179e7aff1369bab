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

// Each write goes through a temporary file renamed into place: none may be
// left. A key holds one value: storing either kind replaces the other.
TEST_F(FileUserDefaultsTest, DataRoundTripsByteForByteAndOnlyItsFileRemains) {
  for (const Bytes& data : {Bytes{'[', 0, '\n', 0xFF, ']'}, Bytes{}}) {
    defaults.setData("backup", data);
    EXPECT_EQ(defaults.dataForKey("backup"), data);
    EXPECT_EQ(fileContents(folder / "backup.data"), std::string(data.begin(), data.end()));
    EXPECT_EQ(filesIn(folder), Names{"backup.data"});
  }
  defaults.setBool("backup", true);
  EXPECT_TRUE(defaults.boolForKey("backup") && !defaults.dataForKey("backup"));
  EXPECT_EQ(filesIn(folder), Names{"backup.bool"});
  defaults.removeObject("backup");
  defaults.setData("../escape", {});  // a key never leads out of the folder
  EXPECT_EQ(filesIn(folder), Names{"..%2Fescape.data"});
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
