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
    EXPECT_EQ(defaults.dataForKey("backup").bytes, data);
    EXPECT_EQ(fileContents(folder / "backup.data"), std::string(data.begin(), data.end()));
    EXPECT_EQ(filesIn(folder), Names{"backup.data"});
  }
  defaults.setBool("backup", true);
  EXPECT_TRUE(defaults.boolForKey("backup") && defaults.dataForKey("backup").isMissing());
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
  EXPECT_TRUE(blocked.dataForKey("key").isMissing());
  EXPECT_FALSE(blocked.boolForKey("flag"));
}

// A value that is there but cannot be read is no missing value; the
// temporary files of writes cut short (kill -9 mid-write) go at the next start.
TEST_F(FileUserDefaultsTest, UnreadableIsNotMissingAndLeftoversGoAtTheNextStart) {
  defaults.setData("kept", Bytes{'['});
  fs::create_directories(folder / "backup.data");  // a read fails: it is a folder
  for (const char* name : {"backup.data.a1B2c3", "flag.bool.XyZ789", "other.data.x", "notes.txt"}) {
    std::ofstream(folder / name) << "partial";
  }
  const StoredData unreadable = defaults.dataForKey("backup");
  EXPECT_TRUE(unreadable.unreadable && !unreadable.bytes && !unreadable.isMissing());

  FileUserDefaults restarted(folder.string());
  EXPECT_EQ(filesIn(folder), (Names{"backup.data", "kept.data", "notes.txt", "other.data.x"}));
  EXPECT_EQ(restarted.dataForKey("kept").bytes, Bytes{'['});
}

}  // namespace
}  // namespace hushpad::linux
